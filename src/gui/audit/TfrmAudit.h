#pragma once

#include "core/archive/AuditTableModel.h"
#include "core/archive/Signatures.h"

#include <QWidget>

#include <functional>

class Prompter;
class QComboBox;
class QLabel;
class QPushButton;
class QLineEdit;
class QSpinBox;
class QTableView;

// The Audit Trail window: the archive's audit trail, filtered by time
// (UTC), user, kind and run, and exported as CSV or PDF.
class TfrmAudit : public QWidget
{
    Q_OBJECT

public:
    // Files to export to and the sign dialog go through prompter; Sign Run
    // signs in session.
    TfrmAudit(Prompter &prompter, SigningSession &session, const QString &archivePath, QWidget *parent = nullptr);

    const AuditTableModel &model() const { return m_model; }
    // Reads the trail again with the filters shown; false (with the reason
    // in the status line) when the archive cannot be read.
    bool refresh();
    Result<> exportCsv(const QString &path) const;
    // The entries listed as a PDF, headed by the filters they went through.
    Result<int> exportPdf(const QString &path) const;
    // Verify Archive: checks every hash on a worker thread, records the
    // verdict in the trail and shows it (the problems in a message).
    void verifyArchive();

signals:
    // A verify has ended; sound: it found no problem and recorded so.
    void verified(bool sound);

private:
    // Signs the run chosen in the Run box with the window's session.
    void signRun();
    // Asks for a file with filter and writes the entries listed with write.
    void exportAs(const QString &filter, const QString &suffix, const std::function<Result<>(const QString &)> &write);

    Prompter &m_prompter;
    QString m_archivePath;
    SigningSession &m_session;
    AuditTableModel m_model;
    AuditFilter m_filter; // of the entries listed
    QLineEdit *edtFrom = nullptr;
    QLineEdit *edtTo = nullptr;
    QLineEdit *edtUser = nullptr;
    QComboBox *cmbKind = nullptr;
    QSpinBox *spnRun = nullptr;
    QTableView *grdEntries = nullptr;
    QLabel *lblStatus = nullptr;
    QPushButton *btnVerify = nullptr;
};
