// The data view's handlers. The widgets are built in TfrmGraphLayout.cpp;
// the cursors and the statistics texts come from the CursorController, and
// the StatisticsPanel shows them.
#include "gui/dataview/TfrmGraph.h"

#include "chart/ChartWidget.h"
#include "core/chart/CursorController.h"
#include "core/chart/DataSetChart.h"
#include "core/chart/DataListModel.h"
#include "core/chart/DataSetListModel.h"
#include "core/data/TDataSetStore.h"
#include "gui/common/AppContext.h"
#include "gui/common/Prompter.h"
#include "gui/dataview/PrepareChart.h"
#include "gui/dataview/RowClicks.h"
#include "gui/dataview/StatisticsPanel.h"
#include "gui/dataview/TfrmAnnoEdit.h"
#include "gui/dataview/TfrmLimits.h"
#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "gui/dataview/TfrmSetupScale.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QToolButton>

#include <algorithm>
#include <span>

namespace {

using Line = CursorController::Line;

constexpr quint32 kBlue = PEargb(255, 0, 0, 255);
constexpr quint32 kGreen = PEargb(255, 0, 255, 0);
constexpr quint32 kGrey = PEargb(255, 128, 128, 128);
constexpr quint32 kBlack = PEargb(255, 0, 0, 0);
constexpr int kPointLine = int(Line::Point);
constexpr int kLineA = int(Line::A);
constexpr int kLineB = int(Line::B);

// The design widths fit short numeric dates; a longer regional date or a
// wider font widens the column so its texts are not cut.
void widenToFit(QTableView *table, int column, const QString &text)
{
    const int needed = table->fontMetrics().horizontalAdvance(text) + 12;
    if (table->columnWidth(column) < needed)
        table->setColumnWidth(column, needed);
}

// The top row of a list's selection, or -1.
int topSelectedRow(const QTableView *table)
{
    const QItemSelection selection = table->selectionModel()->selection();
    if (selection.isEmpty())
        return -1;
    int row = selection.first().top();
    for (const QItemSelectionRange &r : selection)
        row = std::min(row, r.top());
    return row;
}

void setArrowCursor(ChartModel &m, ArrowCursor cursor)
{
    m.edit([cursor](ChartState &s) { s.looks.arrowCursor = cursor; });
}

void moveVertLine(ChartModel &m, int line, double x)
{
    VertLineAnnotation moved = m.vertLineAnnotation(line);
    moved.x = x;
    m.setVertLineAnnotation(line, moved);
}

// A Y axis scaled by hand, from min to max ("Range", "Graph Option").
void setManualYAxis(ChartModel &m, int axis, double min, double max)
{
    AxisSettings a = m.axis(axis);
    a.scaleControl = ScaleControl::sgManualMinAndMax;
    a.manualMin = min;
    a.manualMax = max;
    m.setAxis(axis, a);
}

} // namespace

TfrmGraph::~TfrmGraph() = default;

// Creation, showing and closing -------------------------------------------

void TfrmGraph::FormCreate()
{
    // Headings and one empty row until the first data sets arrive.
    Grid2->setModel(dataSetListModel);
    for (int c = 0; c < DataSetListModel::ColumnCount; ++c)
        Grid2->setColumnWidth(c, DataSetListModel::columnWidth(c));

    Grid3->setModel(dataListModel);
    setDataListWidths();

    new RowClicks(*Grid2, [this] { Grid2Click(); }, m_selecting);
    new RowClicks(*Grid3, [this] { Grid3Click(); }, m_selecting);
    connect(&m_ctx.alarmLimits(), &SharedAlarmLimits::changed, this, &TfrmGraph::limitsChanged);
    showLimitStatistics();
}

void TfrmGraph::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
    pnlGraphResize();
}

void TfrmGraph::FormShow()
{
    ToolButton4->setChecked(true);
    setArrowCursor(PESGraph1->model(), ArrowCursor::sgArrow);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    setClickMode(ClickMode::Normal);
}

void TfrmGraph::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    FormClose();
}

bool TfrmGraph::FormCloseQuery()
{
    return saveDownloadFirst();
}

bool TfrmGraph::saveDownloadFirst()
{
    if (!m_host || !isDownloadView() || !m_host->unsavedDownload())
        return true;
    // The view may be closed while the question or the save is open: closing
    // it drops the download, and only the host is certain to remain.
    TfrmGraphHost *host = m_host;
    const QPointer<TfrmGraph> self(this);
    switch (m_ctx.prompter().ask(this, QStringLiteral("Save DataLogger Data ?"),
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        if (self && host->unsavedDownload())
            host->saveDownload(*self);
        // The caller goes on only when the download was written.
        return !host->unsavedDownload();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TfrmGraph::FormClose()
{
    // Only the download view's close drops its save question.
    if (m_host && isDownloadView())
        m_host->downloadViewClosed();
}

// Lists ---------------------------------------------------------------------

void TfrmGraph::fillDataSetList(const TDataSetStore &store)
{
    m_selecting = true;
    Grid2->clearSelection();
    dataSetListModel->fill(store);
    for (int k = 0; k < store.SetCount(); ++k) {
        for (int c = 0; c < DataSetListModel::ColumnCount; ++c)
            widenToFit(Grid2, c, dataSetListModel->text(k, c));
    }
    Grid2->selectRow(0);
    m_selecting = false;
}

void TfrmGraph::setDataListWidths()
{
    for (int c = 0; c < dataListModel->columnCount(); ++c) {
        Grid3->setColumnWidth(c, DataListModel::columnWidth(c));
        widenToFit(Grid3, c, dataListModel->headerData(c, Qt::Horizontal).toString());
        if (dataListModel->rowCount() > 0)
            widenToFit(Grid3, c, dataListModel->text(0, c));
    }
}

void TfrmGraph::chkDerivedColumnsClick()
{
    const int row = topSelectedRow(Grid3);
    m_selecting = true;
    dataListModel->setDerivedShown(chkDerivedColumns->isChecked(), readingUnit());
    m_selecting = false;
    setDataListWidths();
    if (row >= 0)
        selectDataListRow(row);
}

ReportData TfrmGraph::shownSamples() const
{
    ReportData d;
    // A file view's caption is its file's path; the download view's is "DataLogger".
    d.fileName = QFileInfo(windowTitle()).fileName();
    const ChartSeries s = m_cursors->series();
    // As many samples as the data list shows, without a short file's padding.
    const size_t n = size_t(std::min<qsizetype>(s.filledPoints(), dataListModel->rowCount()));
    // A data file records no unit: Fahrenheit only when the user said so; the
    // report says when Celsius is assumed.
    if (readingUnit() == TemperatureUnit::Fahrenheit)
        d.unit = QStringLiteral("F");
    d.x.assign(s.x[0].begin(), s.x[0].begin() + qsizetype(n));
    d.humidity.assign(s.y[0].begin(), s.y[0].begin() + qsizetype(n));
    d.temperature.assign(s.y[1].begin(), s.y[1].begin() + qsizetype(n));
    return d;
}

void TfrmGraph::FillDataList()
{
    dataListModel->setDerivedShown(chkDerivedColumns->isChecked(), readingUnit());
    m_selecting = true;
    dataListModel->fill();
    m_selecting = false;
    if (dataListModel->rowCount() > 0) {
        for (int c : {DataListModel::Date, DataListModel::Time})
            widenToFit(Grid3, c, dataListModel->text(0, c));
    }
}

void TfrmGraph::selectDataListRow(int sample)
{
    m_selecting = true;
    if (sample >= 0 && sample < dataListModel->rowCount()) {
        const QModelIndex index = dataListModel->index(sample, 0);
        Grid3->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        Grid3->selectionModel()->clearSelection();
    }
    m_selecting = false;
}

void TfrmGraph::scrollDataListTo(int sample)
{
    if (sample < 0 || sample >= dataListModel->rowCount())
        return;
    const int visible = std::max(1, Grid3->viewport()->height() / Grid3->verticalHeader()->defaultSectionSize());
    // One of the first rows: the list shows its beginning.
    if (sample + 1 <= visible)
        Grid3->scrollToTop();
    else
        Grid3->scrollTo(dataListModel->index(sample, 0), QAbstractItemView::PositionAtCenter);
}

void TfrmGraph::showDataSet(const TDataSetStore &store, int k)
{
    if (k < 0 || k >= store.SetCount())
        return;
    ChartWidget &chart = *PESGraph1;
    const qint32 n = store.SampleCounts().at(k);
    const double start = store.StartTimes().at(k);
    const qint32 interval = store.Intervals().at(k);

    PrepareChart(m_ctx, chart, dataSetChartArgs(store, k));
    m_setUnit = store.isFahrenheit(k) ? TemperatureUnit::Fahrenheit : TemperatureUnit::Celsius;
    // The whole block of the data set at once, in the store's point order,
    // corrected by the calibration offsets (the store keeps the raw readings).
    m_offsets = m_ctx.alarmLimits().settings().offsetsFor(m_setUnit);
    m_shownSet = k;
    setDataSetPoints(chart.model(), store, k, m_offsets);
    m_setInterval = interval;

    UpdateStatistics();
    // The set's own start and interval, not the estimate from the points.
    txtStartTime->setText(m_texts.dateTime(start));
    txtSamplingRate->setEditText(DateTimeText::samplingRate(interval));
    txtDataNo->setText(QString::number(n));
    chart.setPEactions(ChartWidget::PEaction::sgUndoZoom);
    Redraw(chart);

    FillDataList();
    selectDataListRow(0);
    SelectPoint(0);
}

void TfrmGraph::Grid2Click()
{
    const int row = topSelectedRow(Grid2);
    if (row < 0 || !m_host || !dataSetListModel->showsDataSet(row))
        return;
    showDataSet(m_host->dataSets(), row);
}

void TfrmGraph::Grid3Click()
{
    const int row = topSelectedRow(Grid3);
    if (row >= 0)
        SelectPoint(row);
}

void TfrmGraph::TabControl1Change()
{
    UpdateStatistics();
    UpdateCursorStatistics();
}

void TfrmGraph::chkTextListClick()
{
    const bool on = chkTextList->isChecked();
    if (isDownloadView()) {
        pnlDataList->setVisible(on);
        return;
    }
    Grid3->setVisible(on);
    Grid2->hide();
    StaticText1->hide();
    pnlDataSets->setVisible(on);
    pnlDataList->setVisible(on);
}

void TfrmGraph::ToolButton1Click()
{
    pnlGraphStatistic->setVisible(ToolButton1->isChecked());
    pnlGraphResize();
}

void TfrmGraph::ToolButton2Click()
{
    m_panel->setVisible(ToolButton2->isChecked());
}

void TfrmGraph::pnlGraphResize()
{
    // The layout places the chart after the strip has been shown or hidden.
    if (QLayout *l = pnlGraph->layout())
        l->activate();
    Panel12->move(PESGraph1->geometry().topLeft());
    Panel12->raise();
}

bool TfrmGraph::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == pnlGraph && event->type() == QEvent::Resize)
        || (watched == PESGraph1 && (event->type() == QEvent::Move || event->type() == QEvent::Resize)))
        Panel12->move(PESGraph1->geometry().topLeft());
    return QWidget::eventFilter(watched, event);
}

// Statistics and cursors ---------------------------------------------------------

int TfrmGraph::shownChannel() const
{
    return m_panel->shownChannel();
}

void TfrmGraph::UpdateStatistics()
{
    m_derived.reset();
    const int tab = shownChannel();
    const StatisticsTexts t = m_cursors->wholeSetTexts(std::min(tab, 1));
    txtStartTime->setText(t.startTime);
    txtSamplingRate->setEditText(t.samplingRate);
    txtDataNo->setText(t.dataNo);
    if (tab >= StatisticsPanel::DewPointTab)
        m_panel->showStatistics(Humidity::panelTexts(Statistics::wholeSet(derived().series()),
                                                     tab - StatisticsPanel::DewPointTab, m_texts));
    else
        m_panel->showStatistics(t);
    m_panel->showUnit(tab == StatisticsPanel::DewPointTab           ? TfrmLimits::unitText(readingUnit())
                      : tab == StatisticsPanel::AbsoluteHumidityTab ? QStringLiteral("g/m\u00b3")
                                                                    : QString());
    m_statisticsShown = true;
    showLimitStatistics();
}

TemperatureUnit TfrmGraph::readingUnit() const
{
    return m_setUnit.value_or(m_fileUnit);
}

ChannelLimits TfrmGraph::channelLimits(int channel) const
{
    // A data file's readings are in the unit the Limits window declared for
    // it, and a limit entered in the other unit counts converted, as for a
    // data set that carries its unit.
    return m_ctx.alarmLimits().settings().limitsFor(channel, readingUnit());
}

ChartSeries TfrmGraph::samples() const
{
    const ChartSeries s = m_cursors->series();
    return s.first(s.filledPoints());
}

double TfrmGraph::activationEnergy() const
{
    return m_ctx.alarmLimits().settings().activationEnergy;
}

qint64 TfrmGraph::intervalSeconds() const
{
    if (m_setInterval)
        return *m_setInterval;
    return Statistics::wholeSet(samples()).rateSeconds;
}

const Humidity::DerivedSeries &TfrmGraph::derived()
{
    if (!m_derived || m_derivedUnit != readingUnit()) {
        m_derivedUnit = readingUnit();
        m_derived = Humidity::derive(samples(), m_derivedUnit);
    }
    return *m_derived;
}

QString TfrmGraph::mktText(std::optional<double> mkt) const
{
    if (!mkt)
        return QStringLiteral("****");
    return m_texts.oneDecimal(*mkt) + u' ' + TfrmLimits::unitText(readingUnit());
}

void TfrmGraph::showLimitStatistics()
{
    const int channel = shownChannel();
    const ChannelLimits limits = channelLimits(channel);
    StatisticsPanel::LimitTexts shown;
    shown.limits = AlarmLimits::limitsText(limits, m_texts);
    shown.sidesShown = channelLimits(0).isSet() || channelLimits(1).isSet();
    shown.mktShown = channel == 1;
    // A derived channel has no limits of its own.
    shown.limitsShown = channel <= 1;
    showLimitLines();
    if (m_statisticsShown) {
        // The padding that ends a short file's chart holds no readings to judge.
        const ChartSeries s = samples();
        if (limits.isSet()) {
            const LimitStatistics st = AlarmLimits::evaluate(s.x[channel], s.y[channel], limits, intervalSeconds());
            shown.above = AlarmLimits::sideText(st.above, m_texts);
            shown.below = AlarmLimits::sideText(st.below, m_texts);
            shown.within = AlarmLimits::withinText(st, m_texts);
        }
        if (limits.hasRules()) {
            shown.breaches = AlarmLimits::breachesText(
                limits, AlarmLimits::breaches(s.x[channel], s.y[channel], limits, intervalSeconds()), m_texts);
        }
        if (channel == 1) {
            shown.mkt = mktText(KineticTemperature::compute(s.y[1], readingUnit(), activationEnergy()));
            const auto windows = KineticTemperature::worstWindows(s.x[1], s.y[1], readingUnit(), activationEnergy(),
                                                                  intervalSeconds());
            const QString unit = u' ' + TfrmLimits::unitText(readingUnit());
            shown.mktDay = KineticTemperature::windowText(windows[0], unit, QStringLiteral("24 h"), m_texts);
            shown.mktMonth = KineticTemperature::windowText(windows[1], unit, QStringLiteral("30 d"), m_texts);
        }
    }
    shown.breachesShown = limits.hasRules();
    m_panel->showLimits(shown);
}

void TfrmGraph::showCursorMkt()
{
    const ChartSeries s = samples();
    const qsizetype n = s.points();
    if (shownChannel() != 1 || n == 0) {
        m_panel->showCursorMkt(QString());
        return;
    }
    // Both cursors' samples count, in either order.
    const qsizetype a = std::clamp<qsizetype>(m_cursors->CursorAIndex(), 0, n - 1);
    const qsizetype b = std::clamp<qsizetype>(m_cursors->CursorBIndex(), 0, n - 1);
    const qsizetype first = std::min(a, b);
    const std::span<const float> between = s.y[1].subspan(size_t(first), size_t(std::max(a, b) - first + 1));
    m_panel->showCursorMkt(mktText(KineticTemperature::compute(between, readingUnit(), activationEnergy())));
}

void TfrmGraph::showLimitLines()
{
    QList<ChartLimitLine> lines;
    for (int channel : {0, 1}) {
        const ChannelLimits limits = channelLimits(channel);
        for (const std::optional<double> &v : {limits.low, limits.high}) {
            if (v)
                lines.append({channel, *v});
        }
    }
    PESGraph1->setLimitLines(lines);
}

void TfrmGraph::limitsChanged()
{
    // New offsets: the data set shown again from its raw readings.
    if (m_host && m_shownSet && m_ctx.alarmLimits().settings().offsetsFor(m_setUnit) != m_offsets) {
        showDataSet(m_host->dataSets(), *m_shownSet);
        return;
    }
    // A file's unit may have changed with the limits.
    dataListModel->setDerivedShown(chkDerivedColumns->isChecked(), readingUnit());
    showLimitStatistics();
    showCursorMkt();
    Redraw(*PESGraph1);
}

namespace {

// Records a change of the limits or the activation energy in the archive's
// audit trail when there is an archive.
void auditLimits(AppContext &ctx, const DateTimeText &texts, QWidget *parent, const TfrmLimits::Values &before,
                 const TfrmLimits::Values &after, TemperatureUnit unit)
{
    const auto text = [&](const TfrmLimits::Values &v) {
        return QStringLiteral("humidity %1, temperature %2 %3")
            .arg(AlarmLimits::limitsText(v.humidity, texts), AlarmLimits::limitsText(v.temperature, texts),
                 TfrmLimits::unitText(unit));
    };
    QList<AuditEntry> changes;
    if (before.humidity != after.humidity || before.temperature != after.temperature) {
        changes.append(AuditEntry::here(QStringLiteral("limits")));
        changes.last().oldValue = text(before);
        changes.last().newValue = text(after);
    }
    if (before.activationEnergy != after.activationEnergy) {
        changes.append(AuditEntry::here(QStringLiteral("activation-energy")));
        changes.last().oldValue = QString::number(before.activationEnergy) + QStringLiteral(" kJ/mol");
        changes.last().newValue = QString::number(after.activationEnergy) + QStringLiteral(" kJ/mol");
    }
    const QString archive = Archive::defaultPath(ctx.folders().programFolder());
    for (const AuditEntry &e : std::as_const(changes))
        if (const Result<> recorded = AuditTrail::appendIfArchived(archive, e); !recorded)
            ctx.prompter().notice(parent, QStringLiteral("The change is not recorded in the audit trail: %1")
                                              .arg(recorded.message()));
}

} // namespace

void TfrmGraph::LimitsClick()
{
    SharedAlarmLimits &shared = m_ctx.alarmLimits();
    const AlarmSettings &stored = shared.settings();
    TfrmLimits dialog(m_ctx.prompter(), m_texts, !isDownloadView(), this);
    TfrmLimits::Values shown;
    shown.humidity = channelLimits(0);
    shown.temperature = channelLimits(1);
    shown.activationEnergy = stored.activationEnergy;
    // The limits and corrections show, and are entered, in the unit of the
    // readings shown.
    const TemperatureUnit shownUnit = readingUnit();
    shown.offsets = stored.offsets.in(shownUnit);
    shown.fileUnit = m_fileUnit;
    dialog.setValues(shown, shownUnit);
    if (m_ctx.prompter().exec(dialog) != QDialog::Accepted)
        return;
    const TfrmLimits::Values &entered = dialog.values();
    // Before the views hear of the change, so that this one counts in the chosen unit.
    m_fileUnit = entered.fileUnit;
    AlarmSettings edited = stored;
    edited.setLimits(0, entered.humidity, std::nullopt);
    edited.setLimits(1, entered.temperature, shownUnit);
    edited.activationEnergy = entered.activationEnergy;
    edited.offsets = entered.offsets;
    edited.offsets.unit = shownUnit;
    // The limits hold for this run even when the file cannot be written.
    if (const Result<> saved = shared.apply(edited); !saved)
        m_ctx.prompter().notice(this, saved.message());
    auditLimits(m_ctx, m_texts, this, shown, entered, shownUnit);
}


void TfrmGraph::SelectPoint(int index)
{
    ChartModel &m = PESGraph1->model();
    if (!m_cursors->SelectPoint(index)) {
        // No such sample (an empty data set): nothing to mark.
        m_panel->showCursors(CursorTexts());
        if (m.hasVertLineAnnotation(kPointLine)) {
            VertLineAnnotation point = m.vertLineAnnotation(kPointLine);
            point.text.clear();
            m.setVertLineAnnotation(kPointLine, point);
        }
        Redraw(*PESGraph1);
        return;
    }
    m.edit([&](ChartState &s) {
        s.vertLines.textSize = 100;
        VertLineAnnotation &point = s.vertLines.items[kPointLine];
        point.x = m_cursors->sampleTime(index);
        point.type = VertLineType::Solid;
        point.color = kBlack;
        point.text = m_cursors->pointLineText(index);
        s.vertLines.items[kLineA].x = m_cursors->cursorTime(Line::A);
        s.vertLines.items[kLineB].x = m_cursors->cursorTime(Line::B);
    });
    UpdateCursorStatistics();
    Redraw(*PESGraph1);
}

void TfrmGraph::UpdateCursorStatistics()
{
    const int tab = shownChannel();
    CursorTexts texts = m_cursors->UpdateCursorStatistics(std::min(tab, 1));
    if (tab >= StatisticsPanel::DewPointTab) {
        // The same cursors (kept on a sample above) over the derived channel.
        const ChartSeries s = derived().series();
        texts = Statistics::cursorTexts(Statistics::betweenCursors(s, tab - StatisticsPanel::DewPointTab,
                                                                   m_cursors->CursorAIndex(), m_cursors->CursorBIndex()),
                                        m_texts);
    }
    m_panel->showCursors(texts);
    showCursorMkt();
}

double TfrmGraph::mouseX() const
{
    return PESGraph1->pixelToData(PESGraph1->lastMousePosition()).x();
}

bool TfrmGraph::mouseInPlot() const
{
    return PESGraph1->plottingRect().contains(PESGraph1->lastMousePosition());
}

void TfrmGraph::setCursorLineColours(bool draggingA, bool draggingB)
{
    PESGraph1->model().edit([&](ChartState &s) {
        s.vertLines.items[kLineA].color = draggingA ? kGrey : kBlue;
        s.vertLines.items[kLineB].color = draggingB ? kGrey : kGreen;
    });
}

void TfrmGraph::PESGraph1VertLineAnnotHotSpot(int line)
{
    if (line != kLineA && line != kLineB)
        return;
    if (!m_cursors->grab(Line(line)))
        return;
    setCursorLineColours(m_cursors->DraggingA(), m_cursors->DraggingB());
    Redraw(*PESGraph1);
}

void TfrmGraph::PESGraph1MouseMove()
{
    const CursorController::Follow follow = m_cursors->mouseMove(mouseInPlot());
    if (!follow.a && !follow.b)
        return;
    // The line follows the mouse unsnapped; only its layer is repainted.
    const double x = mouseX();
    ChartModel &m = PESGraph1->model();
    const auto moveLine = [&](int line) {
        moveVertLine(m, line, x);
        PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    };
    if (follow.a)
        moveLine(kLineA);
    if (follow.b)
        moveLine(kLineB);
}

void TfrmGraph::PESGraph1MouseUp()
{
    ChartModel &m = PESGraph1->model();
    setCursorLineColours(false, false);
    const CursorController::Drop drop = m_cursors->drop(mouseX(), mouseInPlot());
    if (drop.snapped) {
        if (drop.movedA)
            moveVertLine(m, kLineA, m_cursors->cursorTime(Line::A));
        if (drop.movedB)
            moveVertLine(m, kLineB, m_cursors->cursorTime(Line::B));
        UpdateCursorStatistics();
    }
    Redraw(*PESGraph1);
}

// Click modes, notes, hot spots, zoom and split --------------------------------

void TfrmGraph::ToolButton4Click()
{
    setArrowCursor(PESGraph1->model(), ArrowCursor::sgArrow);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    setClickMode(ClickMode::Normal);
}

void TfrmGraph::ToolButton9Click()
{
    setArrowCursor(PESGraph1->model(), ArrowCursor::sgIBeam);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    setClickMode(ClickMode::Text);
}

void TfrmGraph::ToolButton5Click()
{
    setArrowCursor(PESGraph1->model(), ArrowCursor::sgCrossResource);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    setClickMode(ClickMode::Cross);
}

void TfrmGraph::setClickMode(ClickMode mode)
{
    m_modes.clickMode = mode;
}

void TfrmGraph::PESGraph1Click()
{
    const ClickMode mode = m_modes.clickMode;
    if (mode != ClickMode::Text && mode != ClickMode::Cross)
        return;
    QPoint pixel = PESGraph1->lastMousePosition();
    pixel += mode == ClickMode::Text ? QPoint(1, 7) : QPoint(15, 15);
    if (!PESGraph1->plottingRect().contains(pixel))
        return;
    const QPointF at = PESGraph1->pixelToData(pixel);
    ChartModel &m = PESGraph1->model();
    GraphAnnotation note;
    note.x = at.x();
    note.y = at.y();
    note.color = kBlack;
    note.type = mode == ClickMode::Text ? AnnotationType::Text : AnnotationType::Cross;
    if (mode == ClickMode::Text) {
        TfrmAnnoEdit dialog(this);
        if (m_ctx.prompter().exec(dialog) != QDialog::Accepted)
            return;
        note.text = dialog.text();
    }
    m.setGraphAnnotation(m_modes.nextIndex(m.highestGraphAnnotationIndex()), note);
    Redraw(*PESGraph1);
}

void TfrmGraph::PESGraph1GraphAnnotHotSpot(int index, bool doubleClick)
{
    if (!doubleClick)
        return;
    ChartModel &m = PESGraph1->model();
    GraphAnnotation note = m.graphAnnotation(index);
    note.type = AnnotationType::Text;
    note.text.clear();
    m.setGraphAnnotation(index, note);
    Redraw(*PESGraph1);
}

void TfrmGraph::PESGraph1GraphHotSpot()
{
    PESGraph1->setToolTip(QStringLiteral("Double click to delete."));
}

void TfrmGraph::PESGraph1DataHotSpot(int point, int)
{
    if (point < 0 || point >= dataListModel->rowCount())
        return;
    selectDataListRow(point);
    scrollDataListTo(point);
    // Ends with the redraw.
    SelectPoint(point);
}

void TfrmGraph::PESGraph1ZoomIn()
{
    UndoZoom->setEnabled(true);
}

void TfrmGraph::UndoZoomClick()
{
    PESGraph1->setPEactions(ChartWidget::PEaction::sgUndoZoom);
    PESGraph1->setPEnarg1(0);
    PESGraph1->setPEnarg2(0);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgResetImage);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgInvalidateImage);
    UndoZoom->setEnabled(false);
}

void TfrmGraph::Button1Click()
{
    ChartModel &m = PESGraph1->model();
    const AxisSettings before = m.xAxis();
    PESGraph1->setPEactions(ChartWidget::PEaction::sgCustomize);
    // The X range stays what it was before the dialog.
    AxisSettings x = m.xAxis();
    x.scaleControl = ScaleControl::sgManualMinAndMax;
    x.manualMin = before.manualMin;
    x.manualMax = before.manualMax;
    m.setXAxis(x);
    if (m_ctx.settings().AutoScaleSetting == 0) {
        const AxisSettings y = m.axis(0);
        setManualYAxis(m, 0, float(y.manualMin), float(y.manualMax));
    }
    m.recordSetUp(ChartModel::SetUp::YAxesEdited);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgUndoZoom);
    UndoZoom->setEnabled(false);
    Redraw(*PESGraph1);
}

void TfrmGraph::PESGraph1CustomizeDlg()
{
    if (PESGraph1->GetDialogResult() == 0)
        return;
    if (SaveGraphTemplate(m_ctx, PESGraph1->model(), this))
        Redraw(*PESGraph1);
}

void TfrmGraph::chkSplitClick()
{
    ChartModel &m = PESGraph1->model();
    arrangeSplitAxes(m, chkSplit->isChecked());
    if (chkSplit->isChecked()) {
        setArrowCursor(m, ArrowCursor::sgArrow);
        setClickMode(ClickMode::Normal);
        ToolButton4->setChecked(true);
    } else {
        ToolButton5->setEnabled(true);
        ToolButton9->setEnabled(true);
    }
    Redraw(*PESGraph1);
    PESGraph1->setPEactions(ChartWidget::PEaction::sgReinitAndReset);
}

// Scale limits ---------------------------------------------------------------

void TfrmGraph::Button2Click()
{
    ChartModel &m = PESGraph1->model();
    const AxisSettings humidity = m.axis(0);
    const AxisSettings temperature = m.axis(1);
    TfrmSetupScale dialog(this);
    dialog.setLimits(humidity.manualMin, humidity.manualMax, temperature.manualMin, temperature.manualMax);
    if (m_ctx.prompter().exec(dialog) != QDialog::Accepted)
        return;
    const Result<TfrmSetupScale::Limits> limits = dialog.limits();
    if (!limits) {
        m_ctx.prompter().notice(this, limits.message());
        return;
    }
    m_ctx.settings().AutoScaleSetting = 0;
    setManualYAxis(m, 0, double(limits->t1Min), double(limits->t1Max));
    setManualYAxis(m, 1, double(limits->t2Min), double(limits->t2Max));
    m.recordSetUp(ChartModel::SetUp::YAxesEdited);
    Redraw(*PESGraph1);
    if (dialog.saveSetting())
        SaveGraphTemplate(m_ctx, m, this);
}

void TfrmGraph::BitBtn1Click()
{
    m_ctx.settings().AutoScaleSetting = 1;
    setYAxesAutoScale(PESGraph1->model());
    Redraw(*PESGraph1);
}
