#include "gui/audit/TfrmSign.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

TfrmSign::TfrmSign(SigningSession &session, Archive &archive, qint64 runId, QWidget *parent)
    : QDialog(parent), m_session(session), m_archive(archive), m_runId(runId)
{
    setObjectName(QStringLiteral("frmSign"));
    setWindowTitle(QStringLiteral("Sign Run %1").arg(runId));
    auto *form = new QFormLayout(this);
    cmbMeaning = new QComboBox(this);
    cmbMeaning->setObjectName(QStringLiteral("cmbMeaning"));
    cmbMeaning->addItems(SigningSession::meanings());
    form->addRow(QStringLiteral("Meaning"), cmbMeaning);
    edtUser = new QLineEdit(session.needsUser() ? AuditActor::here().user : session.user(), this);
    edtUser->setObjectName(QStringLiteral("edtUser"));
    edtUser->setEnabled(session.needsUser());
    form->addRow(QStringLiteral("User"), edtUser);
    edtPassword = new QLineEdit(this);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password"), edtPassword);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    form->addRow(lblStatus);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmSign::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmSign::reject);
    edtPassword->setFocus();
}

void TfrmSign::accept()
{
    const Result<qint64> signedRun = m_session.sign(m_archive, m_runId, cmbMeaning->currentText(),
                                                    edtUser->text().trimmed(), edtPassword->text().toUtf8());
    edtPassword->clear();
    if (!signedRun) {
        lblStatus->setText(signedRun.message());
        return;
    }
    QDialog::accept();
}
