#pragma once

#include "core/archive/Signatures.h"

#include <QDialog>

class Archive;
class QComboBox;
class QLabel;
class QLineEdit;

// Signs an archived run: the meaning, and the user's own password (the
// user name too at the first signing of the session).
class TfrmSign : public QDialog
{
    Q_OBJECT

public:
    TfrmSign(SigningSession &session, Archive &archive, qint64 runId, QWidget *parent = nullptr);

    void accept() override;

private:
    SigningSession &m_session;
    Archive &m_archive;
    qint64 m_runId;
    QLineEdit *edtUser = nullptr;
    QLineEdit *edtPassword = nullptr;
    QComboBox *cmbMeaning = nullptr;
    QLabel *lblStatus = nullptr;
};
