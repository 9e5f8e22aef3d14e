#include "gui/archive/TfrmSiteArchive.h"

#include "core/archive/SiteArchive.h"
#include "core/archive/SiteRuns.h"
#include "gui/common/GuiLog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TfrmSiteArchive::TfrmSiteArchive(QString programFolder, QWidget *parent)
    : QDialog(parent)
    , m_folder(std::move(programFolder))
{
    setObjectName(QStringLiteral("frmSiteArchive"));
    setWindowTitle(QStringLiteral("Site archive"));
    auto *layout = new QVBoxLayout(this);
    auto *hint = new QLabel(QStringLiteral("The PostgreSQL database that keeps the runs of every workstation:\n"
                                           "postgresql://host:port/dbname?user=NAME (empty: none). The password "
                                           "is never kept here:\nPostgreSQL reads it from ~/.pgpass or PGPASSWORD."),
                            this);
    layout->addWidget(hint);
    edtUrl = new QLineEdit(configuredSiteUrl(m_folder), this);
    edtUrl->setObjectName(QStringLiteral("edtUrl"));
    edtUrl->setPlaceholderText(QStringLiteral("postgresql://server/kv518_site?user=workstation"));
    edtUrl->setMinimumWidth(edtUrl->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 56);
    layout->addWidget(edtUrl);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    layout->addWidget(lblProblem);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmSiteArchive::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmSiteArchive::reject);
    layout->addWidget(buttons);
}

void TfrmSiteArchive::accept()
{
    if (Result<> saved = SiteRuns::setConfiguredUrl(m_folder, edtUrl->text()); !saved) {
        qCInfo(lcGui).noquote() << "site archive url not saved:" << saved.message();
        lblProblem->setText(saved.message());
        return;
    }
    QDialog::accept();
}
