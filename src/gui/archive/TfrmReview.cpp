#include "gui/archive/TfrmReview.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "gui/audit/TfrmSign.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QLineEdit *commentEdit(QWidget *parent, const char *name, const QString &hint)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setPlaceholderText(hint);
    return edit;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

TfrmReview::TfrmReview(Archive &archive, SigningSession &session, qint64 runId, const ChannelLimits (&limits)[2],
                       const QString &limitsText, QWidget *parent)
    : QDialog(parent)
    , m_archive(archive)
    , m_session(session)
    , m_runId(runId)
    , m_limits{limits[0], limits[1]}
    , m_limitsText(limitsText)
{
    setObjectName(QStringLiteral("frmReview"));
    setWindowTitle(QStringLiteral("Review Run %1").arg(runId));
    auto *top = new QVBoxLayout(this);

    auto *excursions = new QGroupBox(QStringLiteral("Excursions beyond %1").arg(limitsText), this);
    auto *excursionsLayout = new QVBoxLayout(excursions);
    gridExcursions = new QTableWidget(0, 7, excursions);
    gridExcursions->setObjectName(QStringLiteral("gridExcursions"));
    gridExcursions->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("Channel"),
                                               QStringLiteral("Side"), QStringLiteral("From"),
                                               QStringLiteral("Samples"), QStringLiteral("Extreme"),
                                               QStringLiteral("Acknowledged")});
    gridExcursions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridExcursions->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridExcursions->setSelectionMode(QAbstractItemView::SingleSelection);
    gridExcursions->verticalHeader()->hide();
    gridExcursions->horizontalHeader()->setStretchLastSection(true);
    excursionsLayout->addWidget(gridExcursions);
    auto *ackRow = new QHBoxLayout;
    edtAcknowledgement = commentEdit(excursions, "edtAcknowledgement", QStringLiteral("Why the excursion is acceptable"));
    btnAcknowledge = button(excursions, "btnAcknowledge", QStringLiteral("&Acknowledge"));
    ackRow->addWidget(edtAcknowledgement, 1);
    ackRow->addWidget(btnAcknowledge);
    excursionsLayout->addLayout(ackRow);
    top->addWidget(excursions, 2);

    auto *review = new QGroupBox(QStringLiteral("Review"), this);
    auto *reviewRow = new QHBoxLayout(review);
    cmbStatus = new QComboBox(review);
    cmbStatus->setObjectName(QStringLiteral("cmbStatus"));
    for (const QString &s : Review::statuses())
        cmbStatus->addItem(s.left(1).toUpper() + s.mid(1), s);
    edtReview = commentEdit(review, "edtReview", QStringLiteral("Comment"));
    btnReview = button(review, "btnReview", QStringLiteral("&Mark"));
    btnSign = button(review, "btnSign", QStringLiteral("&Sign..."));
    reviewRow->addWidget(cmbStatus);
    reviewRow->addWidget(edtReview, 1);
    reviewRow->addWidget(btnReview);
    reviewRow->addWidget(btnSign);
    top->addWidget(review);

    auto *record = new QGroupBox(QStringLiteral("Reviews, acknowledgements and signatures"), this);
    auto *recordLayout = new QVBoxLayout(record);
    lstRecord = new QListWidget(record);
    lstRecord->setObjectName(QStringLiteral("lstRecord"));
    recordLayout->addWidget(lstRecord);
    top->addWidget(record, 1);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    top->addWidget(lblStatus);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    top->addWidget(buttons);

    connect(btnAcknowledge, &QPushButton::clicked, this, &TfrmReview::acknowledgeSelected);
    connect(btnReview, &QPushButton::clicked, this, &TfrmReview::markRun);
    connect(btnSign, &QPushButton::clicked, this, &TfrmReview::sign);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmReview::reject);
    resize(760, 520);
    refresh();
}

void TfrmReview::refresh()
{
    const int selected = gridExcursions->currentRow();
    Result<QList<AuditEntry>> record = Review::entriesOf(m_archive, m_runId);
    lstRecord->clear();
    if (record)
        for (const AuditEntry &e : *record)
            lstRecord->addItem(Review::entryText(e));
    else
        lblStatus->setText(record.message());

    gridExcursions->setRowCount(0);
    if (!m_limits[0].isSet() && !m_limits[1].isSet()) {
        btnAcknowledge->setEnabled(false);
        lblStatus->setText(QStringLiteral("No alarm limits are set, so the run has no excursions to acknowledge."));
        return;
    }
    Result<QList<Review::Excursion>> found = Review::excursions(m_archive, m_runId, m_limits);
    if (!found) {
        lblStatus->setText(found.message());
        btnAcknowledge->setEnabled(false);
        return;
    }
    const QString samples = m_archive.run(m_runId).valueOr({}).samplesSha256;
    gridExcursions->setRowCount(int(found->size()));
    for (int r = 0; r < found->size(); ++r) {
        const Review::Excursion &x = found->at(r);
        QStringList acknowledged;
        for (const AuditEntry &e : record.valueOr({}))
            if (Review::acknowledges(e, x.number, m_limitsText, samples))
                acknowledged << AuditTrail::actorText(e) + QStringLiteral(": ") + e.reason;
        const QStringList cells{QString::number(x.number),
                                x.channel == 0 ? QStringLiteral("Humidity") : QStringLiteral("Temperature"),
                                x.above ? QStringLiteral("above") : QStringLiteral("below"),
                                m_texts.dateAndTime(x.start),
                                QString::number(x.samples),
                                m_texts.oneDecimal(x.extreme),
                                acknowledged.join(QStringLiteral("; "))};
        for (int c = 0; c < cells.size(); ++c)
            gridExcursions->setItem(r, c, new QTableWidgetItem(cells.at(c)));
    }
    gridExcursions->resizeColumnsToContents();
    if (!found->isEmpty())
        gridExcursions->selectRow(std::clamp(selected, 0, int(found->size()) - 1));
    btnAcknowledge->setEnabled(!found->isEmpty());
}

void TfrmReview::acknowledgeSelected()
{
    const int row = gridExcursions->currentRow();
    if (row < 0) {
        lblStatus->setText(QStringLiteral("Choose the excursion to acknowledge."));
        return;
    }
    const qint64 number = gridExcursions->item(row, 0)->text().toLongLong();
    const Result<qint64> id =
        Review::acknowledge(m_archive, m_runId, number, m_limits, m_limitsText, edtAcknowledgement->text());
    if (!id) {
        lblStatus->setText(id.message());
        return;
    }
    edtAcknowledgement->clear();
    refresh();
    lblStatus->setText(QStringLiteral("Excursion %1 acknowledged (audit entry %2).").arg(number).arg(*id));
}

void TfrmReview::markRun()
{
    const Result<qint64> id =
        Review::markRun(m_archive, m_runId, cmbStatus->currentData().toString(), edtReview->text());
    if (!id) {
        lblStatus->setText(id.message());
        return;
    }
    edtReview->clear();
    refresh();
    lblStatus->setText(QStringLiteral("Run %1 marked %2 (audit entry %3).").arg(m_runId).arg(cmbStatus->currentText()).arg(*id));
}

void TfrmReview::sign()
{
    TfrmSign dialog(m_session, m_archive, m_runId, this);
    if (dialog.exec() == QDialog::Accepted) {
        refresh();
        lblStatus->setText(QStringLiteral("Run %1 signed.").arg(m_runId));
    }
}
