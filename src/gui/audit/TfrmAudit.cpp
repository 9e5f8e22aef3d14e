#include "gui/audit/TfrmAudit.h"

#include "core/archive/Archive.h"
#include "core/archive/ArchiveVerify.h"
#include "core/data/AtomicFile.h"
#include "gui/audit/TfrmSign.h"
#include "gui/common/Prompter.h"
#include "report/AuditWriter.h"
#include "report/ReportWriter.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimeZone>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString entriesText(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n);
}

// A bound typed as an ISO 8601 date or date-time, UTC; invalid when empty.
QDateTime boundOf(const QLineEdit *edit, bool end)
{
    const QString text = edit->text().trimmed();
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        if (d.isValid())
            t = QDateTime(d, end ? QTime(23, 59, 59, 999) : QTime(0, 0));
    }
    return t.isValid() ? QDateTime(t.date(), t.time(), QTimeZone::utc()) : QDateTime();
}

} // namespace

TfrmAudit::TfrmAudit(Prompter &prompter, SigningSession &session, const QString &archivePath, QWidget *parent)
    : QWidget(parent)
    , m_prompter(prompter)
    , m_session(session)
    , m_archivePath(archivePath)
{
    setObjectName(QStringLiteral("frmAudit"));
    setWindowTitle(QStringLiteral("Audit Trail"));
    auto *filters = new QHBoxLayout;
    const auto edit = [this, filters](const char *name, const QString &label, const QString &hint) {
        filters->addWidget(new QLabel(label, this));
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setPlaceholderText(hint);
        filters->addWidget(e);
        return e;
    };
    edtFrom = edit("edtFrom", QStringLiteral("From"), QStringLiteral("2026-03-01 (UTC)"));
    edtTo = edit("edtTo", QStringLiteral("To"), QStringLiteral("2026-03-31 (UTC)"));
    edtUser = edit("edtUser", QStringLiteral("User"), QString());
    filters->addWidget(new QLabel(QStringLiteral("Kind"), this));
    cmbKind = new QComboBox(this);
    cmbKind->setObjectName(QStringLiteral("cmbKind"));
    cmbKind->addItem(QStringLiteral("(all)"), QString());
    for (const QString &k : AuditTrail::kinds())
        cmbKind->addItem(k, k);
    filters->addWidget(cmbKind);
    filters->addWidget(new QLabel(QStringLiteral("Run"), this));
    spnRun = new QSpinBox(this);
    spnRun->setObjectName(QStringLiteral("spnRun"));
    spnRun->setRange(0, 1 << 30);
    spnRun->setSpecialValueText(QStringLiteral("(all)"));
    filters->addWidget(spnRun);
    auto *apply = new QPushButton(QStringLiteral("&Apply"), this);
    apply->setObjectName(QStringLiteral("btnApply"));
    filters->addWidget(apply);
    auto *signButton = new QPushButton(QStringLiteral("&Sign Run..."), this);
    signButton->setObjectName(QStringLiteral("btnSign"));
    filters->addWidget(signButton);
    connect(signButton, &QPushButton::clicked, this, &TfrmAudit::signRun);
    btnVerify = new QPushButton(QStringLiteral("&Verify Archive"), this);
    btnVerify->setObjectName(QStringLiteral("btnVerify"));
    filters->addWidget(btnVerify);
    connect(btnVerify, &QPushButton::clicked, this, &TfrmAudit::verifyArchive);
    auto *exportButton = new QPushButton(QStringLiteral("&Export CSV..."), this);
    exportButton->setObjectName(QStringLiteral("btnExport"));
    filters->addWidget(exportButton);
    auto *pdfButton = new QPushButton(QStringLiteral("Export &PDF..."), this);
    pdfButton->setObjectName(QStringLiteral("btnExportPdf"));
    filters->addWidget(pdfButton);

    grdEntries = new QTableView(this);
    grdEntries->setObjectName(QStringLiteral("grdEntries"));
    grdEntries->setModel(&m_model);
    grdEntries->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdEntries->horizontalHeader()->setStretchLastSection(true);
    // The entry's number is a column of its own; one line per entry.
    grdEntries->verticalHeader()->hide();
    grdEntries->setWordWrap(false);
    grdEntries->verticalHeader()->setDefaultSectionSize(grdEntries->fontMetrics().height() + 6);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(grdEntries, 1);
    layout->addWidget(lblStatus);

    connect(apply, &QPushButton::clicked, this, [this] { refresh(); });
    connect(exportButton, &QPushButton::clicked, this, [this] {
        exportAs(QStringLiteral("CSV file (*.csv *.CSV)"), QStringLiteral("csv"),
                 [this](const QString &path) { return exportCsv(path); });
    });
    connect(pdfButton, &QPushButton::clicked, this, [this] {
        exportAs(QStringLiteral("PDF file (*.pdf *.PDF)"), QStringLiteral("pdf"),
                 [this](const QString &path) {
                     const Result<int> pages = exportPdf(path);
                     return pages ? Result<>() : Result<>(pages.failure());
                 });
    });
    refresh();
}

bool TfrmAudit::refresh()
{
    if (!QFileInfo::exists(m_archivePath)) {
        m_model.setEntries({});
        lblStatus->setText(QStringLiteral("There is no archive yet."));
        return false;
    }
    Result<std::unique_ptr<Archive>> archive = Archive::open(m_archivePath);
    AuditFilter filter;
    filter.from = boundOf(edtFrom, false);
    filter.to = boundOf(edtTo, true);
    filter.user = edtUser->text().trimmed();
    filter.kind = cmbKind->currentData().toString();
    filter.runId = spnRun->value();
    Result<QList<AuditEntry>> entries =
        archive ? AuditTrail::list(**archive, filter) : Result<QList<AuditEntry>>(archive.failure());
    if (!entries) {
        lblStatus->setText(entries.message());
        return false;
    }
    m_model.setEntries(*entries);
    m_filter = filter;
    // Each column as wide as what it shows, up to a limit: hashes and long
    // values are elided, and the window scrolls sideways.
    grdEntries->resizeColumnsToContents();
    const int widest = grdEntries->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 36;
    for (int c = 0; c < m_model.columnCount(); ++c)
        grdEntries->setColumnWidth(c, std::min(grdEntries->columnWidth(c), widest));
    lblStatus->setText(entriesText(entries->size()));
    return true;
}

void TfrmAudit::signRun()
{
    if (spnRun->value() == 0) {
        lblStatus->setText(QStringLiteral("Choose the run to sign in the Run box."));
        return;
    }
    Result<std::unique_ptr<Archive>> archive =
        QFileInfo::exists(m_archivePath) ? Archive::open(m_archivePath)
                                         : Result<std::unique_ptr<Archive>>(fail(ErrorCode::NotFound, QStringLiteral("There is no archive yet.")));
    if (!archive) {
        lblStatus->setText(archive.message());
        return;
    }
    TfrmSign dialog(m_session, **archive, spnRun->value(), this);
    if (m_prompter.exec(dialog) == QDialog::Accepted)
        refresh();
}

void TfrmAudit::verifyArchive()
{
    if (!QFileInfo::exists(m_archivePath)) {
        lblStatus->setText(QStringLiteral("There is no archive yet."));
        return;
    }
    // A large archive takes a while: the window stays live meanwhile.
    btnVerify->setEnabled(false);
    lblStatus->setText(QStringLiteral("Verifying the archive…"));
    auto *watcher = new QFutureWatcher<Result<ArchiveVerdict>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        btnVerify->setEnabled(true);
        const Result<ArchiveVerdict> verdict = watcher->result();
        // The verify is an entry of the trail now.
        refresh();
        if (!verdict) {
            lblStatus->setText(verdict.message());
            emit verified(false);
            return;
        }
        const QString text = ArchiveVerify::verdictText(*verdict, QDir::toNativeSeparators(m_archivePath));
        lblStatus->setText(text);
        if (!verdict->sound()) {
            // The first lines in full; the rest counted.
            constexpr qsizetype Shown = 20;
            QStringList lines = verdict->problems.mid(0, Shown);
            if (verdict->problems.size() > Shown)
                lines << QStringLiteral("… and %1 more.").arg(verdict->problems.size() - Shown);
            m_prompter.message(this, QMessageBox::Critical, text + QStringLiteral("\n\n") + lines.join(u'\n'),
                               QMessageBox::Ok);
        }
        emit verified(verdict->sound());
    });
    watcher->setFuture(ArchiveVerify::start(m_archivePath));
}

void TfrmAudit::exportAs(const QString &filter, const QString &suffix,
                         const std::function<Result<>(const QString &)> &write)
{
    QFileDialog dialog(this, QStringLiteral("Export Audit Trail"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({filter});
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(QStringLiteral("audit-trail.") + suffix);
    const QString path = m_prompter.chooseFile(dialog);
    if (path.isEmpty())
        return;
    const Result<> written = write(path);
    lblStatus->setText(written ? QStringLiteral("Wrote %1 to %2").arg(entriesText(m_model.rowCount()), QDir::toNativeSeparators(path))
                               : written.message());
}

Result<> TfrmAudit::exportCsv(const QString &path) const
{
    return AtomicFile::write(path, AuditTrail::csv(m_model.entries()));
}

Result<int> TfrmAudit::exportPdf(const QString &path) const
{
    return AuditWriter::write(m_model.entries(), AuditTrail::heading(m_archivePath, m_filter), path,
                              ReportWriter::pageSizeFor(QLocale::system()));
}
