#include "chart/ChartWidget.h"

#include "chart/ChartCustomizeDialog.h"
#include "chart/ChartItems.h"

#include <QGridLayout>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QRubberBand>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <limits>

static void initChartResources()
{
    Q_INIT_RESOURCE(chart);
}

namespace {

// Days from 1899-12-30 to 1970-01-01: plot keys are seconds of naive local
// time shown as UTC, so no time-zone rule ever shifts a sample.
constexpr double kUnixEpochDays = 25569.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr int kScrollTotal = 10000;
constexpr int kHotSpotRadius = 6;
constexpr int kLineHotSpot = 3;

QColor argbColor(quint32 argb)
{
    return QColor::fromRgba(argb);
}

QPair<double, double> ordered(double a, double b)
{
    return a <= b ? qMakePair(a, b) : qMakePair(b, a);
}

// A zero-width range cannot be mapped to pixels: widen it by one unit each way.
QPair<double, double> drawable(QPair<double, double> r, double unit)
{
    r = ordered(r.first, r.second);
    if (!(r.second - r.first > 0.0))
        return {r.first - unit, r.second + unit};
    return r;
}

Qt::PenStyle lineStyle(int lineType)
{
    switch (lineType) {
    case LineType::Dash:
    case LineType::MediumDash:
        return Qt::DashLine;
    case LineType::Dot:
    case LineType::MediumDot:
        return Qt::DotLine;
    case LineType::DashDot:
        return Qt::DashDotLine;
    case LineType::DashDotDot:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}

int lineWidth(int lineType)
{
    if (lineType == LineType::ThickSolid)
        return 3;
    return lineType >= LineType::MediumSolid ? 2 : 1;
}

QPen gridPen(GridStyle style, const QColor &color)
{
    switch (style) {
    case GridStyle::sgThick:
        return QPen(color, 2, Qt::SolidLine);
    case GridStyle::sgDot:
        return QPen(color, 1, Qt::DotLine);
    case GridStyle::sgDash:
        return QPen(color, 1, Qt::DashLine);
    case GridStyle::sgOnePixel:
    case GridStyle::sgThinSolid:
        break;
    }
    return QPen(color, 1, Qt::SolidLine);
}

struct Palette
{
    QColor deskTop, deskBottom, plotArea, text, grid;
};

Palette paletteFor(QuickStyle style, bool mono)
{
    if (mono)
        return {Qt::white, Qt::white, Qt::white, Qt::black, QColor(160, 160, 160)};
    const int shade = int(style) / 4; // light, medium, dark
    if (shade == 0)
        return {QColor(255, 255, 255), QColor(214, 220, 232), Qt::white, Qt::black, QColor(170, 170, 170)};
    if (shade == 1)
        return {QColor(200, 204, 212), QColor(150, 156, 168), QColor(244, 244, 244), Qt::black, QColor(150, 150, 150)};
    return {QColor(64, 64, 72), QColor(24, 24, 28), QColor(40, 40, 44), QColor(235, 235, 235), QColor(110, 110, 110)};
}

// The PC's short date with a four-digit year, and a 24-hour time.
QString tickFormat()
{
    QString date = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy")))
        date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return QStringLiteral("hh:mm:ss\n") + date;
}

} // namespace

ChartWidget::ChartWidget(QWidget *parent)
    : QWidget(parent)
{
    initChartResources();
    m_plot = new QCustomPlot(this);
    m_plot->setInteractions(QCP::Interactions());
    m_plot->setAutoAddPlottableToLegend(false);
    m_plot->setNoAntialiasingOnDrag(true);
    m_plot->setPlottingHint(QCP::phCacheLabels, true);
    m_plot->setMouseTracking(true);
    m_plot->addLayer(QStringLiteral("vlines"), m_plot->layer(QStringLiteral("main")), QCustomPlot::limAbove);
    m_lineLayer = m_plot->layer(QStringLiteral("vlines"));
    m_lineLayer->setMode(QCPLayer::lmBuffered);

    m_hbar = new QScrollBar(Qt::Horizontal, this);
    m_vbar = new QScrollBar(Qt::Vertical, this);
    m_hbar->hide();
    m_vbar->hide();
    // The plot sits at (0, 0), so its pixels are this widget's pixels.
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_plot, 0, 0);
    layout->addWidget(m_vbar, 0, 1);
    layout->addWidget(m_hbar, 1, 0);
    m_band = new QRubberBand(QRubberBand::Rectangle, m_plot);

    connect(m_plot, &QCustomPlot::mousePress, this, &ChartWidget::onPress);
    connect(m_plot, &QCustomPlot::mouseMove, this, &ChartWidget::onMove);
    connect(m_plot, &QCustomPlot::mouseRelease, this, &ChartWidget::onRelease);
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, &ChartWidget::onDoubleClick);
    connect(m_hbar, &QScrollBar::valueChanged, this, &ChartWidget::onHorizontalScroll);
    connect(m_vbar, &QScrollBar::valueChanged, this, &ChartWidget::onVerticalScroll);

    applyChanges(true);
    replotAll();
}

ChartWidget::~ChartWidget() = default;

// Actions -------------------------------------------------------------------

void ChartWidget::setPEactions(PEaction action)
{
    switch (action) {
    case PEaction::sgReinitAndReset:
        reinitAndReset();
        break;
    case PEaction::sgResetImage:
        resetImage();
        break;
    case PEaction::sgInvalidateImage:
        invalidateImage();
        break;
    case PEaction::sgCustomize:
        customize();
        break;
    case PEaction::sgPrintDialog:
        printDialog();
        break;
    case PEaction::sgUndoZoom:
        undoZoom();
        break;
    }
}

void ChartWidget::redraw()
{
    setPEnarg1(0);
    setPEnarg2(0);
    setPEactions(PEaction::sgResetImage);
    setPEactions(PEaction::sgInvalidateImage);
}

void ChartWidget::reinitAndReset()
{
    applyChanges(true);
    replotAll();
}

void ChartWidget::resetImage()
{
    applyChanges(false);
    m_needsReplot = true;
}

void ChartWidget::invalidateImage()
{
    const auto pending = [this](ChartModel::Part p) { return m_model.revision(p) != m_built[int(p)]; };
    const bool onlyLines = !pending(ChartModel::Part::Data) && !pending(ChartModel::Part::Looks)
        && !pending(ChartModel::Part::Annotations);
    if (onlyLines && !m_needsReplot) {
        // A moved cursor line: repaint its own layer, not the million points below.
        if (pending(ChartModel::Part::VertLines)) {
            rebuildVertLines();
            m_built[int(ChartModel::Part::VertLines)] = m_model.revision(ChartModel::Part::VertLines);
        }
        m_lineLayer->replot();
        return;
    }
    applyChanges(false);
    replotAll();
}

void ChartWidget::customize()
{
    ChartCustomizeDialog dialog(m_model.state(), m_dialogRunner, this);
    const int result = runDialog(m_dialogRunner, dialog);
    m_dialogResult = result == QDialog::Accepted ? 1 : 0;
    if (m_dialogResult == 1) {
        ChartState edited = m_model.state();
        dialog.applyTo(edited);
        m_model.setState(edited);
        redraw();
    }
    emit OnCustomizeDlg();
}

void ChartWidget::printDialog()
{
    QPrinter *printer = m_printer;
    if (!printer) {
        if (!m_ownPrinter)
            m_ownPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer = m_ownPrinter.get();
    }
    printer->setPageOrientation(m_model.state().printLandscape ? QPageLayout::Landscape
                                                               : QPageLayout::Portrait);
    QPrintDialog dialog(printer, this);
    const int result = runDialog(m_dialogRunner, dialog);
    m_dialogResult = result == QDialog::Accepted ? 1 : 0;
    if (m_dialogResult == 1)
        printTo(*printer);
}

void ChartWidget::printTo(QPrinter &printer)
{
    m_mono = m_model.state().printStyleControl == PrintStyle::sgPrintDefaultMono;
    applyChanges(true);
    QCPPainter painter;
    if (painter.begin(&printer)) {
        const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
        // Lay the chart out at screen size, then scale it onto the page, so
        // fonts and pens keep their proportions at printer resolution.
        const double scale = std::max(1.0, printer.resolution() / 96.0);
        const int w = int(page.width() / scale);
        const int h = int(page.height() / scale);
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        painter.scale(scale, scale);
        m_plot->toPainter(&painter, w, h);
        painter.end();
    }
    m_mono = false;
    applyChanges(true);
    replotAll();
}

QPixmap ChartWidget::renderPixmap(const QSize &size)
{
    applyChanges(false);
    return m_plot->toPixmap(size.width(), size.height());
}

void ChartWidget::undoZoom()
{
    m_zoomX.reset();
    m_zoomAxis = -1;
    applyRanges();
    updateScrollBars();
    replotAll();
}

// Building the plot -----------------------------------------------------------

double ChartWidget::toKey(double days) const
{
    if (m_model.state().dateTimeMode == DateTimeMode::sgVBDateTime)
        return (days - kUnixEpochDays) * kSecondsPerDay;
    return days;
}

double ChartWidget::fromKey(double key) const
{
    if (m_model.state().dateTimeMode == DateTimeMode::sgVBDateTime)
        return key / kSecondsPerDay + kUnixEpochDays;
    return key;
}

QCPAxisRect *ChartWidget::rect(int axis) const
{
    return axis >= 0 && axis < m_groups.size() ? m_groups[axis].rect : nullptr;
}

int ChartWidget::axisCount() const
{
    return int(m_groups.size());
}

void ChartWidget::applyChanges(bool force)
{
    using P = ChartModel::Part;
    const auto pending = [&](P p) { return force || m_model.revision(p) != m_built[int(p)]; };
    const bool data = pending(P::Data);
    const bool looks = pending(P::Looks);
    bool notes = pending(P::Annotations);
    bool lines = pending(P::VertLines);
    if (data)
        rebuildData();
    if (data || looks) {
        rebuildLayout();
        notes = lines = true;
    }
    if (notes)
        rebuildAnnotations();
    if (lines)
        rebuildVertLines();
    for (P p : {P::Data, P::VertLines, P::Annotations, P::Looks})
        m_built[int(p)] = m_model.revision(p);
}

void ChartWidget::rebuildData()
{
    const ChartState &s = m_model.state();
    const float nullY = float(s.nullDataValueY);
    const bool dateTime = s.dateTimeMode == DateTimeMode::sgVBDateTime;
    const double offset = dateTime ? kUnixEpochDays : 0.0;
    const double scale = dateTime ? kSecondsPerDay : 1.0;
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    m_cache.resize(s.subsets);
    for (int subset = 0; subset < s.subsets; ++subset) {
        const auto xs = m_model.xOfSubset(subset);
        const auto ys = m_model.yOfSubset(subset);
        const int n = int(xs.size());
        SubsetCache &c = m_cache[subset];
        // Refill the container in place when its size fits: a fresh block of
        // tens of MiB costs more in page faults than the conversion itself.
        if (!c.data || c.data->size() != n) {
            c.data = QSharedPointer<QCPGraphDataContainer>::create();
            c.data->set(QVector<QCPGraphData>(n), true);
        }
        double minKey = inf, maxKey = -inf, minY = inf, maxY = -inf;
        double previous = -inf;
        bool sorted = true;
        auto out = c.data->begin();
        for (int i = 0; i < n; ++i, ++out) {
            const double key = (xs[size_t(i)] - offset) * scale;
            const float y = ys[size_t(i)];
            const bool isNull = y == nullY || !std::isfinite(y) || !std::isfinite(key);
            out->key = key;
            out->value = isNull ? nan : double(y);
            sorted = sorted && key >= previous;
            previous = key;
            if (!isNull) {
                minKey = std::min(minKey, key);
                maxKey = std::max(maxKey, key);
                minY = std::min(minY, double(y));
                maxY = std::max(maxY, double(y));
            }
        }
        if (!sorted)
            c.data->sort();
        c.sorted = sorted;
        c.hasData = minKey <= maxKey;
        c.minKey = minKey;
        c.maxKey = maxKey;
        c.minY = minY;
        c.maxY = maxY;
    }
}

QFont ChartWidget::chartFont(const QString &family, QFont::StyleHint hint, double scale) const
{
    static constexpr double kSizes[] = {8.0, 9.0, 11.0};
    QFont font(family);
    font.setStyleHint(hint);
    font.setPointSizeF(kSizes[int(m_model.state().fontSize)] * scale);
    return font;
}

void ChartWidget::rebuildLayout()
{
    const ChartState &s = m_model.state();
    const Palette pal = paletteFor(s.quickStyle, m_mono);
    m_plot->clearPlottables();
    m_plot->clearItems();
    m_graphs.clear();
    m_lineItems.clear();
    m_noteItems.clear();
    m_plot->plotLayout()->clear();
    m_plot->plotLayout()->setRowSpacing(0);

    if (!m_mono && s.bitmapGradientMode && s.deskGradientStyle != DeskGradientStyle::sgNoGradient) {
        const bool vertical = s.deskGradientStyle == DeskGradientStyle::sgVerticalGradient;
        QLinearGradient g(0, 0, vertical ? 0 : 1, vertical ? 1 : 0);
        g.setCoordinateMode(QGradient::ObjectBoundingMode);
        g.setColorAt(0, pal.deskTop);
        g.setColorAt(1, pal.deskBottom);
        m_plot->setBackground(QBrush(g));
    } else {
        m_plot->setBackground(QBrush(pal.deskTop));
    }

    // Subsets per stacked axis; without an arrangement all share axis 0.
    m_groups.clear();
    int assigned = 0;
    for (int a = 0; a < s.multiAxesSubsets.size() && assigned < s.subsets; ++a) {
        const int count = std::min(int(s.multiAxesSubsets[a]), s.subsets - assigned);
        if (count <= 0)
            continue;
        Group g;
        g.axis = a;
        g.proportion = a < s.multiAxesProportions.size() ? s.multiAxesProportions[a] : 0.0;
        for (int i = 0; i < count; ++i)
            g.subsets << assigned++;
        m_groups << g;
    }
    if (m_groups.isEmpty()) {
        Group g;
        for (int i = 0; i < s.subsets; ++i)
            g.subsets << i;
        m_groups << g;
    } else {
        for (; assigned < s.subsets; ++assigned)
            m_groups.last().subsets << assigned;
    }
    double total = 0.0;
    for (const Group &g : m_groups)
        total += g.proportion > 0.0 ? g.proportion : 0.0;
    for (Group &g : m_groups)
        g.proportion = (total > 0.0 && g.proportion > 0.0) ? g.proportion / total : 1.0 / m_groups.size();

    int row = 0;
    const QFont titleFont = chartFont(s.titleFont, QFont::Serif, 1.4);
    const QFont subFont = chartFont(s.titleFont, QFont::Serif, 1.1);
    const QFont labelFont = chartFont(s.labelFont, QFont::SansSerif);
    auto addTitle = [&](const QString &text, const QFont &font) {
        if (text.trimmed().isEmpty())
            return;
        auto *title = new QCPTextElement(m_plot, text, font);
        title->setTextColor(pal.text);
        m_plot->plotLayout()->addElement(row++, 0, title);
    };
    addTitle(s.mainTitle, titleFont);
    addTitle(s.subTitle, subFont);

    QCPLegend *legend = nullptr;
    QCPLayoutGrid *legendRow = nullptr;
    if (s.showLegend) {
        // Centred in its row between two empty stretching cells.
        legendRow = new QCPLayoutGrid;
        m_plot->plotLayout()->addElement(row++, 0, legendRow);
        legendRow->addElement(0, 0, new QCPLayoutElement(m_plot));
        legend = new QCPLegend;
        legendRow->addElement(0, 1, legend);
        legendRow->addElement(0, 2, new QCPLayoutElement(m_plot));
        legend->setLayer(QStringLiteral("legend"));
        legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
        legend->setBorderPen(Qt::NoPen);
        legend->setBrush(Qt::NoBrush);
        legend->setFont(labelFont);
        legend->setTextColor(pal.text);
        legend->setIconSize(24, 10);
        legend->setMargins(QMargins(2, 2, 2, 0));
    }

    QSharedPointer<QCPAxisTicker> ticker;
    if (s.dateTimeMode == DateTimeMode::sgVBDateTime) {
        auto dt = QSharedPointer<QCPAxisTickerDateTime>::create();
        dt->setDateTimeSpec(Qt::UTC);
        dt->setDateTimeFormat(tickFormat());
        ticker = dt;
    } else {
        ticker = QSharedPointer<QCPAxisTicker>::create();
    }

    auto *margins = new QCPMarginGroup(m_plot);
    const int separatorWidth = int(s.multiAxesSeparators);
    QList<double> stretch;
    for (int i = 0; i < row; ++i)
        stretch << 0.001;
    for (int gi = 0; gi < m_groups.size(); ++gi) {
        Group &g = m_groups[gi];
        const bool last = gi == m_groups.size() - 1;
        auto *r = new QCPAxisRect(m_plot, true);
        // Its background must lie under the grid, as QCustomPlot's own axis rect does.
        r->setLayer(QStringLiteral("background"));
        g.rect = r;
        m_plot->plotLayout()->addElement(row + gi, 0, r);
        stretch << g.proportion;
        r->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
        r->setBackground(QBrush(pal.plotArea));
        r->setMinimumMargins(QMargins(0, gi == 0 ? 8 : 0, 16, 0));
        QCPAxis *x = r->axis(QCPAxis::atBottom);
        QCPAxis *y = r->axis(QCPAxis::atLeft);
        x->setTicker(ticker);
        x->setTickLabels(last);
        x->setLabel(last ? s.xAxisLabel : QString());
        if (!last)
            r->setAutoMargins(QCP::msLeft | QCP::msRight | QCP::msTop);
        if (gi > 0)
            r->setAutoMargins(r->autoMargins() & ~QCP::msTop);
        if (!last)
            r->setMargins(QMargins(0, 0, 0, 4));
        if (gi > 0 && separatorWidth > 0) {
            QCPAxis *top = r->axis(QCPAxis::atTop);
            top->setVisible(true);
            top->setTicks(false);
            top->setTickLabels(false);
            top->setBasePen(QPen(pal.text, separatorWidth));
        }
        const AxisSettings axisSettings = m_model.axis(m_groups.size() == 1 ? 0 : g.axis);
        y->setLabel(axisSettings.label);
        for (QCPAxis *axis : {x, y}) {
            axis->setLabelFont(labelFont);
            axis->setTickLabelFont(labelFont);
            axis->setLabelColor(pal.text);
            axis->setTickLabelColor(pal.text);
            axis->setBasePen(QPen(pal.text));
            axis->setTickPen(QPen(pal.text));
            axis->setSubTickPen(QPen(pal.text));
        }
        const QPen grid = gridPen(s.gridStyle, pal.grid);
        x->grid()->setPen(grid);
        y->grid()->setPen(grid);
        x->grid()->setVisible(s.gridLines == GridLines::sgGridBoth || s.gridLines == GridLines::sgGridX);
        y->grid()->setVisible(s.gridLines == GridLines::sgGridBoth || s.gridLines == GridLines::sgGridY);
        for (QCPAxis *axis : {x, y})
            axis->grid()->setLayer(s.gridInFront ? QStringLiteral("axes") : QStringLiteral("grid"));

        for (int subset : g.subsets) {
            auto *graph = new SplineGraph(x, y);
            m_graphs << graph;
            if (subset < m_cache.size())
                graph->setData(m_cache[subset].data);
            graph->setName(m_model.subsetLabel(subset));
            const int type = m_model.subsetLineType(subset);
            QPen pen(argbColor(m_model.subsetColor(subset)), lineWidth(type), lineStyle(type));
            if (m_mono)
                pen = QPen(Qt::black, lineWidth(type), subset == 1 ? Qt::DashLine : Qt::SolidLine);
            graph->setPen(pen);
            graph->setAdaptiveSampling(true);
            const bool points = s.plottingMethod == PlottingMethod::sgPoint
                || s.plottingMethod == PlottingMethod::sgPointsPlusLine;
            graph->setLineStyle(s.plottingMethod == PlottingMethod::sgPoint ? QCPGraph::lsNone
                                                                              : QCPGraph::lsLine);
            if (points)
                graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, pen.color(), pen.color(), 4));
            graph->setSpline(s.plottingMethod == PlottingMethod::sgSpline);
            if (legend)
                graph->addToLegend(legend);
        }
    }
    m_plot->plotLayout()->setRowStretchFactors(stretch);
    if (legendRow) {
        legend->setMaximumSize(legend->minimumOuterSizeHint());
        legendRow->setColumnStretchFactors({1.0, 0.001, 1.0});
    }
    applyRanges();
    updateScrollBars();
    updateCursor();
}

void ChartWidget::applyRanges()
{
    const ChartState &s = m_model.state();
    // One second in date-time mode (keys are seconds), one unit otherwise.
    const double unit = 1.0;

    // X: the same on every axis rect.
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const SubsetCache &c : m_cache) {
        if (c.hasData) {
            lo = std::min(lo, c.minKey);
            hi = std::max(hi, c.maxKey);
        }
    }
    if (!(lo <= hi)) {
        lo = toKey(0.0);
        hi = toKey(1.0);
    }
    const ScaleControl xc = s.manualScaleControlX;
    if ((xc == ScaleControl::sgManualMin || xc == ScaleControl::sgManualMinAndMax) && std::isfinite(s.manualMinX))
        lo = toKey(s.manualMinX);
    if ((xc == ScaleControl::sgManualMax || xc == ScaleControl::sgManualMinAndMax) && std::isfinite(s.manualMaxX))
        hi = toKey(s.manualMaxX);
    m_fullX = drawable({lo, hi}, unit);
    const QPair<double, double> visibleX = m_zoomX ? *m_zoomX : m_fullX;

    for (int gi = 0; gi < m_groups.size(); ++gi) {
        Group &g = m_groups[gi];
        double ylo = std::numeric_limits<double>::infinity();
        double yhi = -ylo;
        for (int subset : g.subsets) {
            if (subset < m_cache.size() && m_cache[subset].hasData) {
                ylo = std::min(ylo, m_cache[subset].minY);
                yhi = std::max(yhi, m_cache[subset].maxY);
            }
        }
        if (!(ylo <= yhi)) {
            ylo = 0.0;
            yhi = 1.0;
        }
        const double pad = (yhi - ylo) * 0.05;
        ylo -= pad;
        yhi += pad;
        // The shared axis takes axis 0's scaling; axis 1 keeps its own for the split view.
        const AxisSettings a = m_model.axis(m_groups.size() == 1 ? 0 : g.axis);
        if ((a.scaleControl == ScaleControl::sgManualMin || a.scaleControl == ScaleControl::sgManualMinAndMax)
            && std::isfinite(a.manualMin))
            ylo = a.manualMin;
        if ((a.scaleControl == ScaleControl::sgManualMax || a.scaleControl == ScaleControl::sgManualMinAndMax)
            && std::isfinite(a.manualMax))
            yhi = a.manualMax;
        g.fullY = drawable({ylo, yhi}, 1.0);
        const QPair<double, double> visibleY = (m_zoomAxis == gi) ? m_zoomY : g.fullY;
        g.rect->axis(QCPAxis::atBottom)->setRange(visibleX.first, visibleX.second);
        g.rect->axis(QCPAxis::atTop)->setRange(visibleX.first, visibleX.second);
        g.rect->axis(QCPAxis::atLeft)->setRange(visibleY.first, visibleY.second);
    }
}

void ChartWidget::rebuildAnnotations()
{
    for (const auto &[index, item] : std::as_const(m_noteItems))
        m_plot->removeItem(item);
    m_noteItems.clear();
    const ChartState &s = m_model.state();
    if (!s.showGraphAnnotations || m_groups.isEmpty())
        return;
    QCPAxisRect *r = rect(0);
    const PlotAreaFn area = [this] { return plottingRect(); };
    const QFont font = chartFont(s.labelFont, QFont::SansSerif, s.graphAnnotationTextSize / 100.0);
    for (const auto &[index, a] : s.graphAnnotations) {
        const QColor color = m_mono ? QColor(Qt::black) : argbColor(a.color);
        if (a.type == AnnotationType::Cross) {
            auto *cross = new CrossItem(m_plot, r->axis(QCPAxis::atBottom), r->axis(QCPAxis::atLeft), area);
            cross->setPoint(toKey(a.x), a.y);
            cross->setColor(color);
            m_noteItems << qMakePair(index, static_cast<QCPAbstractItem *>(cross));
        } else if (!a.text.isEmpty()) {
            auto *note = new NoteItem(m_plot, r->axis(QCPAxis::atBottom), r->axis(QCPAxis::atLeft), area);
            note->setPoint(toKey(a.x), a.y);
            note->setText(a.text);
            note->setFont(font);
            note->setColor(color);
            m_noteItems << qMakePair(index, static_cast<QCPAbstractItem *>(note));
        }
    }
}

void ChartWidget::rebuildVertLines()
{
    const ChartState &s = m_model.state();
    const bool show = s.showVertLineAnnotations && !m_groups.isEmpty();
    const qsizetype wanted = show ? qsizetype(s.vertLineAnnotations.size()) : 0;
    // Adding or removing an item invalidates every paint buffer; moving one
    // does not, so the line layer can be repainted alone.
    if (m_lineItems.size() != wanted) {
        for (VertLineItem *item : std::as_const(m_lineItems))
            m_plot->removeItem(item);
        m_lineItems.clear();
        QCPAxisRect *r = rect(0);
        const PlotAreaFn area = [this] { return plottingRect(); };
        for (qsizetype i = 0; i < wanted; ++i) {
            auto *item = new VertLineItem(m_plot, r->axis(QCPAxis::atBottom), r->axis(QCPAxis::atLeft), area);
            item->setLayer(m_lineLayer);
            m_lineItems << item;
        }
    }
    if (!show)
        return;
    const QFont font = chartFont(s.labelFont, QFont::SansSerif, s.lineAnnotationTextSize / 100.0);
    qsizetype i = 0;
    for (const auto &[index, line] : s.vertLineAnnotations) {
        VertLineItem *item = m_lineItems[i++];
        item->setPoint(toKey(line.x), 0.0);
        const QColor color = m_mono ? QColor(Qt::black) : argbColor(line.color);
        item->setPen(QPen(color, 1, line.type == VertLineType::Dashed ? Qt::DashLine : Qt::SolidLine));
        item->setText(line.text);
        item->setFont(font);
    }
}

void ChartWidget::updateCursor()
{
    switch (m_model.state().arrowCursor) {
    case ArrowCursor::sgArrow:
        m_plot->setCursor(Qt::ArrowCursor);
        break;
    case ArrowCursor::sgIBeam:
        m_plot->setCursor(Qt::IBeamCursor);
        break;
    case ArrowCursor::sgCrossResource:
        m_plot->setCursor(QCursor(QPixmap(QStringLiteral(":/chart/CROSS.png")), 16, 16));
        break;
    }
}

void ChartWidget::replotAll()
{
    m_plot->replot();
    m_needsReplot = false;
}

// Geometry ------------------------------------------------------------------

QRect ChartWidget::plottingRect() const
{
    QRect area;
    for (const Group &g : m_groups)
        area = area.united(g.rect->rect());
    return area;
}

QPointF ChartWidget::pixelToData(const QPointF &pixel) const
{
    QCPAxisRect *r = rect(0);
    if (!r)
        return {};
    return QPointF(fromKey(r->axis(QCPAxis::atBottom)->pixelToCoord(pixel.x())),
                   r->axis(QCPAxis::atLeft)->pixelToCoord(pixel.y()));
}

QPointF ChartWidget::dataToPixel(double x, double y) const
{
    return dataToPixel(x, y, 0);
}

QPointF ChartWidget::dataToPixel(double x, double y, int axis) const
{
    QCPAxisRect *r = rect(axis);
    if (!r)
        return {};
    return QPointF(r->axis(QCPAxis::atBottom)->coordToPixel(toKey(x)),
                   r->axis(QCPAxis::atLeft)->coordToPixel(y));
}

int ChartWidget::groupAt(const QPoint &pixel) const
{
    for (int i = 0; i < m_groups.size(); ++i) {
        if (m_groups[i].rect->rect().adjusted(0, 0, 1, 1).contains(pixel))
            return i;
    }
    return -1;
}

int ChartWidget::hitVertLine(const QPoint &pixel) const
{
    const ChartState &s = m_model.state();
    if (!s.showVertLineAnnotations || !s.allowVertLineAnnotHotSpots || m_groups.isEmpty())
        return -1;
    if (!plottingRect().adjusted(-kLineHotSpot, 0, kLineHotSpot, 1).contains(pixel))
        return -1;
    QCPAxis *x = rect(0)->axis(QCPAxis::atBottom);
    int best = -1;
    double bestDistance = kLineHotSpot + 0.5;
    for (const auto &[index, line] : s.vertLineAnnotations) {
        const double d = std::abs(x->coordToPixel(toKey(line.x)) - pixel.x());
        if (d <= bestDistance) {
            bestDistance = d;
            best = index;
        }
    }
    return best;
}

int ChartWidget::hitAnnotation(const QPoint &pixel) const
{
    const ChartState &s = m_model.state();
    if (!s.showGraphAnnotations || !s.allowGraphAnnotHotSpots)
        return -1;
    int hit = -1;
    for (const auto &[index, item] : m_noteItems) {
        if (auto *note = dynamic_cast<NoteItem *>(item)) {
            if (note->textRect().adjusted(-2, -2, 2, 2).contains(pixel))
                hit = index;
        } else if (auto *cross = dynamic_cast<CrossItem *>(item)) {
            const QPointF d = cross->pixel() - QPointF(pixel);
            if (std::abs(d.x()) <= CrossItem::CrossSize / 2 + 1 && std::abs(d.y()) <= CrossItem::CrossSize / 2 + 1)
                hit = index;
        }
    }
    return hit;
}

bool ChartWidget::hitData(const QPoint &pixel, int *point, int *subset) const
{
    const ChartState &s = m_model.state();
    const int gi = groupAt(pixel);
    if (!s.allowDataHotSpots || gi < 0)
        return false;
    const Group &g = m_groups[gi];
    QCPAxis *x = g.rect->axis(QCPAxis::atBottom);
    QCPAxis *y = g.rect->axis(QCPAxis::atLeft);
    const auto [d1, d2] = ordered(fromKey(x->pixelToCoord(pixel.x() - kHotSpotRadius)),
                                  fromKey(x->pixelToCoord(pixel.x() + kHotSpotRadius)));
    const float nullY = float(s.nullDataValueY);
    double best = double(kHotSpotRadius * kHotSpotRadius) + 0.5;
    bool found = false;
    for (int sub : g.subsets) {
        const auto xs = m_model.xOfSubset(sub);
        const auto ys = m_model.yOfSubset(sub);
        size_t from = 0;
        size_t to = xs.size();
        if (sub < m_cache.size() && m_cache[sub].sorted) {
            from = size_t(std::lower_bound(xs.begin(), xs.end(), d1) - xs.begin());
            to = size_t(std::upper_bound(xs.begin(), xs.end(), d2) - xs.begin());
        }
        for (size_t i = from; i < to; ++i) {
            if (xs[i] < d1 || xs[i] > d2 || ys[i] == nullY || !std::isfinite(ys[i]))
                continue;
            const double dx = x->coordToPixel(toKey(xs[i])) - pixel.x();
            const double dy = y->coordToPixel(ys[i]) - pixel.y();
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                *point = int(i);
                *subset = sub;
                found = true;
            }
        }
    }
    return found;
}

// Zoom ------------------------------------------------------------------------

void ChartWidget::zoomToRect(const QRect &pixels)
{
    const ZoomMode mode = m_model.state().allowZooming;
    if (mode == ZoomMode::sgNoZooming || m_groups.isEmpty())
        return;
    int gi = groupAt(pixels.topLeft());
    if (gi < 0)
        gi = std::max(groupAt(pixels.center()), 0);
    const QRect r = pixels.normalized();
    if (mode == ZoomMode::sgHorzZooming || mode == ZoomMode::sgHorzPlusVertZooming) {
        QCPAxis *x = rect(gi)->axis(QCPAxis::atBottom);
        if (r.width() > 0)
            m_zoomX = ordered(x->pixelToCoord(r.left()), x->pixelToCoord(r.right()));
    }
    if (mode == ZoomMode::sgVertZooming || mode == ZoomMode::sgHorzPlusVertZooming) {
        QCPAxis *y = rect(gi)->axis(QCPAxis::atLeft);
        if (r.height() > 0) {
            m_zoomAxis = gi;
            m_zoomY = ordered(y->pixelToCoord(r.bottom()), y->pixelToCoord(r.top()));
        }
    }
    applyRanges();
    updateScrollBars();
    replotAll();
    emit OnZoomIn();
}

QPair<double, double> ChartWidget::visibleXRange() const
{
    QCPAxisRect *r = rect(0);
    if (!r)
        return {};
    const QCPRange range = r->axis(QCPAxis::atBottom)->range();
    return {fromKey(range.lower), fromKey(range.upper)};
}

QPair<double, double> ChartWidget::visibleYRange(int axis) const
{
    QCPAxisRect *r = rect(axis);
    if (!r)
        return {};
    const QCPRange range = r->axis(QCPAxis::atLeft)->range();
    return {range.lower, range.upper};
}

void ChartWidget::updateScrollBars()
{
    const ChartState &s = m_model.state();
    m_updatingBars = true;
    auto place = [](QScrollBar *bar, QPair<double, double> full, QPair<double, double> shown, bool fromTop) {
        const double fullWidth = full.second - full.first;
        const double shownWidth = shown.second - shown.first;
        const int page = std::clamp(int(kScrollTotal * shownWidth / fullWidth), 1, kScrollTotal);
        const double offset = fromTop ? full.second - shown.second : shown.first - full.first;
        bar->setRange(0, kScrollTotal - page);
        bar->setPageStep(page);
        bar->setSingleStep(std::max(1, page / 10));
        bar->setValue(int(std::lround(kScrollTotal * offset / fullWidth)));
    };
    const bool horizontal = m_zoomX.has_value() && s.scrollingHorzZoom;
    if (horizontal)
        place(m_hbar, m_fullX, *m_zoomX, false);
    const bool vertical = m_zoomAxis >= 0 && m_zoomAxis < m_groups.size() && s.scrollingVertZoom;
    if (vertical)
        place(m_vbar, m_groups[m_zoomAxis].fullY, m_zoomY, true);
    m_hbar->setVisible(horizontal);
    m_vbar->setVisible(vertical);
    m_updatingBars = false;
}

void ChartWidget::onHorizontalScroll(int value)
{
    if (m_updatingBars || !m_zoomX)
        return;
    const double fullWidth = m_fullX.second - m_fullX.first;
    const double width = m_zoomX->second - m_zoomX->first;
    const double lo = m_fullX.first + fullWidth * value / kScrollTotal;
    m_zoomX = qMakePair(lo, lo + width);
    applyRanges();
    replotAll();
}

void ChartWidget::onVerticalScroll(int value)
{
    if (m_updatingBars || m_zoomAxis < 0 || m_zoomAxis >= m_groups.size())
        return;
    const auto full = m_groups[m_zoomAxis].fullY;
    const double height = m_zoomY.second - m_zoomY.first;
    const double hi = full.second - (full.second - full.first) * value / kScrollTotal;
    m_zoomY = qMakePair(hi - height, hi);
    applyRanges();
    replotAll();
}

// Mouse -------------------------------------------------------------------------

void ChartWidget::onPress(QMouseEvent *event)
{
    m_lastMouse = event->position().toPoint();
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_pressPos = m_lastMouse;
    m_banding = false;
    const int line = hitVertLine(m_lastMouse);
    m_pressOnLine = line >= 0;
    if (m_pressOnLine)
        emit OnVertLineAnnotHotSpot(line);
}

void ChartWidget::onMove(QMouseEvent *event)
{
    m_lastMouse = event->position().toPoint();
    if (m_pressed && !m_pressOnLine && m_model.state().allowZooming != ZoomMode::sgNoZooming) {
        const int gi = groupAt(m_pressPos);
        if (gi >= 0 && (m_banding || (m_lastMouse - m_pressPos).manhattanLength() > 4)) {
            m_banding = true;
            const QRect area = rect(gi)->rect();
            QRect band = QRect(m_pressPos, m_lastMouse).normalized().intersected(area);
            const ZoomMode mode = m_model.state().allowZooming;
            if (mode == ZoomMode::sgHorzZooming)
                band.setTop(area.top()), band.setBottom(area.bottom());
            if (mode == ZoomMode::sgVertZooming)
                band.setLeft(area.left()), band.setRight(area.right());
            m_band->setGeometry(band);
            m_band->show();
        }
    }
    if (!m_pressed) {
        const int hover = hitAnnotation(m_lastMouse);
        if (hover >= 0 && hover != m_hoverAnnotation)
            emit OnGraphHotSpot();
        else if (hover < 0 && m_hoverAnnotation >= 0)
            setToolTip(QString());
        m_hoverAnnotation = hover;
    }
    emit OnMouseMove();
}

void ChartWidget::onRelease(QMouseEvent *event)
{
    m_lastMouse = event->position().toPoint();
    const bool wasPressed = m_pressed && event->button() == Qt::LeftButton;
    const bool zoom = m_banding;
    m_pressed = false;
    m_banding = false;
    if (zoom) {
        const QRect band = m_band->geometry();
        m_band->hide();
        if (band.width() > 2 || band.height() > 2)
            zoomToRect(band);
    } else if (wasPressed) {
        if (!m_pressOnLine) {
            const int note = hitAnnotation(m_lastMouse);
            if (note >= 0)
                emit OnGraphAnnotHotSpot(note, false);
            int point = 0;
            int subset = 0;
            if (hitData(m_lastMouse, &point, &subset))
                emit OnDataHotSpot(point, subset);
        }
        emit OnClick();
    }
    m_pressOnLine = false;
    emit OnMouseUp();
}

void ChartWidget::onDoubleClick(QMouseEvent *event)
{
    m_lastMouse = event->position().toPoint();
    const int note = hitAnnotation(m_lastMouse);
    if (note >= 0)
        emit OnGraphAnnotHotSpot(note, true);
}
