#pragma once

#include "core/archive/Review.h"
#include "core/data/AlarmLimits.h"
#include "core/data/DateTimeText.h"

#include <QDialog>

class Archive;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class SigningSession;

// The review of an archived run: its excursions under the alarm limits
// given, each acknowledged with a comment; the run marked Reviewed or
// Approved with a comment; Sign... for an electronic signature; and what the
// run's record already holds (reviews, acknowledgements and signatures with
// the printed name, the date and time with the offset from UTC, and the
// meaning). What is written, and whether it may be, is Review's and
// SigningSession's: the dialog only hands them the user's input and shows
// their answer.
class TfrmReview : public QDialog
{
    Q_OBJECT

public:
    // archive and session must outlive the dialog; limits are in the run's
    // unit, limitsText says them as the audit entry will.
    TfrmReview(Archive &archive, SigningSession &session, qint64 runId, const ChannelLimits (&limits)[2],
               const QString &limitsText, QWidget *parent = nullptr);

    // Reads the run's excursions and record again.
    void refresh();
    // Acknowledges the excursion selected in the list with the comment typed.
    void acknowledgeSelected();
    // Marks the run with the status chosen and the comment typed.
    void markRun();
    void sign();

    QTableWidget *gridExcursions = nullptr;
    QLineEdit *edtAcknowledgement = nullptr;
    QPushButton *btnAcknowledge = nullptr;
    QComboBox *cmbStatus = nullptr;
    QLineEdit *edtReview = nullptr;
    QPushButton *btnReview = nullptr;
    QPushButton *btnSign = nullptr;
    QListWidget *lstRecord = nullptr;
    QLabel *lblStatus = nullptr;

private:
    Archive &m_archive;
    SigningSession &m_session;
    qint64 m_runId;
    ChannelLimits m_limits[2];
    QString m_limitsText;
    DateTimeText m_texts;
};
