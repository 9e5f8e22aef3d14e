// Building the plot from the model: data, layout of the stacked axes,
// ranges, notes and cursor lines.
#include "chart/ChartItems.h"
#include "chart/ChartPaint.h"
#include "chart/ChartWidget.h"

#include <algorithm>
#include <cmath>

using namespace ChartPaint;

void ChartWidget::rebuildData()
{
    const ChartState &s = m_model.state();
    const float nullY = float(s.nullDataValueY);
    const bool dateTime = s.dateTimeMode == DateTimeMode::sgVBDateTime;
    const double offset = dateTime ? ChartLayout::kUnixEpochDays : 0.0;
    const double scale = dateTime ? ChartLayout::kSecondsPerDay : 1.0;
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
    font.setPointSizeF(kSizes[int(m_model.state().looks.fontSize)] * scale);
    return font;
}

void ChartWidget::rebuildLayout()
{
    const ChartState &s = m_model.state();
    const Palette pal = paletteFor(s.looks.quickStyle, m_mono);
    clearPlot();
    paintDesk(pal);
    m_groups.clear();
    for (const ChartLayout::AxisGroup &g : ChartLayout::groupSubsets(s))
        m_groups << Group(g);

    int rows = addTitles(pal);
    const QFont labelFont = chartFont(s.looks.labelFont, QFont::SansSerif);
    LegendCell legend;
    if (s.looks.showLegend)
        legend = addLegend(rows++, labelFont, pal);
    addAxisRects(rows, labelFont, pal, legend.legend);
    if (legend.legend) {
        legend.legend->setMaximumSize(legend.legend->minimumOuterSizeHint());
        legend.row->setColumnStretchFactors({1.0, 0.001, 1.0});
    }
    applyRanges();
    updateScrollBars();
    updateCursor();
}

void ChartWidget::clearPlot()
{
    m_plot->clearPlottables();
    m_plot->clearItems();
    m_graphs.clear();
    m_lineItems.clear();
    m_noteItems.clear();
    m_plot->plotLayout()->clear();
    m_plot->plotLayout()->setRowSpacing(0);
}

void ChartWidget::paintDesk(const Palette &pal)
{
    const ChartLooks &l = m_model.looks();
    if (!m_mono && l.bitmapGradientMode && l.deskGradientStyle != DeskGradientStyle::sgNoGradient) {
        const bool vertical = l.deskGradientStyle == DeskGradientStyle::sgVerticalGradient;
        QLinearGradient g(0, 0, vertical ? 0 : 1, vertical ? 1 : 0);
        g.setCoordinateMode(QGradient::ObjectBoundingMode);
        g.setColorAt(0, pal.deskTop);
        g.setColorAt(1, pal.deskBottom);
        m_plot->setBackground(QBrush(g));
    } else {
        m_plot->setBackground(QBrush(pal.deskTop));
    }
}

int ChartWidget::addTitles(const Palette &pal)
{
    const ChartLooks &l = m_model.looks();
    int row = 0;
    auto add = [&](const QString &text, const QFont &font) {
        if (text.trimmed().isEmpty())
            return;
        auto *title = new QCPTextElement(m_plot, text, font);
        title->setTextColor(pal.text);
        m_plot->plotLayout()->addElement(row++, 0, title);
    };
    add(l.mainTitle, chartFont(l.titleFont, QFont::Serif, 1.4));
    add(l.subTitle, chartFont(l.titleFont, QFont::Serif, 1.1));
    return row;
}

ChartWidget::LegendCell ChartWidget::addLegend(int row, const QFont &font, const Palette &pal)
{
    // Centred in its row between two empty stretching cells.
    LegendCell cell;
    cell.row = new QCPLayoutGrid;
    m_plot->plotLayout()->addElement(row, 0, cell.row);
    cell.row->addElement(0, 0, new QCPLayoutElement(m_plot));
    cell.legend = new QCPLegend;
    cell.row->addElement(0, 1, cell.legend);
    cell.row->addElement(0, 2, new QCPLayoutElement(m_plot));
    QCPLegend *legend = cell.legend;
    legend->setLayer(QStringLiteral("legend"));
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setBorderPen(Qt::NoPen);
    legend->setBrush(Qt::NoBrush);
    legend->setFont(font);
    legend->setTextColor(pal.text);
    legend->setIconSize(24, 10);
    legend->setMargins(QMargins(2, 2, 2, 0));
    return cell;
}

QSharedPointer<QCPAxisTicker> ChartWidget::xTicker() const
{
    if (m_model.state().dateTimeMode != DateTimeMode::sgVBDateTime)
        return QSharedPointer<QCPAxisTicker>::create();
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setDateTimeFormat(tickFormat());
    return ticker;
}

void ChartWidget::addAxisRects(int firstRow, const QFont &labelFont, const Palette &pal, QCPLegend *legend)
{
    const QSharedPointer<QCPAxisTicker> ticker = xTicker();
    auto *margins = new QCPMarginGroup(m_plot);
    QList<double> stretch(firstRow, 0.001);
    for (int gi = 0; gi < m_groups.size(); ++gi) {
        Group &g = m_groups[gi];
        g.rect = addAxisRect(firstRow + gi, gi, pal);
        g.rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
        g.rect->axis(QCPAxis::atBottom)->setTicker(ticker);
        stretch << g.proportion;
        styleAxes(*g.rect, m_model.axis(g.axis), labelFont, pal);
        addGraphs(g, legend);
        addLimitLines(g);
    }
    m_plot->plotLayout()->setRowStretchFactors(stretch);
}

QCPAxisRect *ChartWidget::addAxisRect(int row, int index, const Palette &pal)
{
    const bool first = index == 0;
    const bool last = index == m_groups.size() - 1;
    auto *r = new QCPAxisRect(m_plot, true);
    // Its background must lie under the grid, as QCustomPlot's own axis rect does.
    r->setLayer(QStringLiteral("background"));
    m_plot->plotLayout()->addElement(row, 0, r);
    r->setBackground(QBrush(pal.plotArea));
    r->setMinimumMargins(QMargins(0, first ? 8 : 0, 16, 0));
    // Stacked rects touch: only the last one shows the time, only the first
    // keeps a margin on top.
    QCPAxis *x = r->axis(QCPAxis::atBottom);
    x->setTickLabels(last);
    x->setLabel(last ? m_model.xAxis().label : QString());
    if (!last)
        r->setAutoMargins(QCP::msLeft | QCP::msRight | QCP::msTop);
    if (!first)
        r->setAutoMargins(r->autoMargins() & ~QCP::msTop);
    if (!last)
        r->setMargins(QMargins(0, 0, 0, 4));
    const int separatorWidth = int(m_model.looks().multiAxesSeparators);
    if (!first && separatorWidth > 0) {
        QCPAxis *top = r->axis(QCPAxis::atTop);
        top->setVisible(true);
        top->setTicks(false);
        top->setTickLabels(false);
        top->setBasePen(QPen(pal.text, separatorWidth));
    }
    return r;
}

void ChartWidget::styleAxes(QCPAxisRect &rect, const AxisSettings &yAxis, const QFont &labelFont,
                            const Palette &pal)
{
    const ChartLooks &l = m_model.looks();
    QCPAxis *x = rect.axis(QCPAxis::atBottom);
    QCPAxis *y = rect.axis(QCPAxis::atLeft);
    y->setLabel(yAxis.label);
    for (QCPAxis *axis : {x, y}) {
        axis->setLabelFont(labelFont);
        axis->setTickLabelFont(labelFont);
        axis->setLabelColor(pal.text);
        axis->setTickLabelColor(pal.text);
        axis->setBasePen(QPen(pal.text));
        axis->setTickPen(QPen(pal.text));
        axis->setSubTickPen(QPen(pal.text));
        axis->grid()->setPen(gridPen(l.gridStyle, pal.grid));
        axis->grid()->setLayer(l.gridInFront ? QStringLiteral("axes") : QStringLiteral("grid"));
    }
    x->grid()->setVisible(l.gridLines == GridLines::sgGridBoth || l.gridLines == GridLines::sgGridX);
    y->grid()->setVisible(l.gridLines == GridLines::sgGridBoth || l.gridLines == GridLines::sgGridY);
}

void ChartWidget::addGraphs(const Group &group, QCPLegend *legend)
{
    const PlottingMethod method = m_model.looks().plottingMethod;
    const bool points = method == PlottingMethod::sgPoint || method == PlottingMethod::sgPointsPlusLine;
    QCPAxis *x = group.rect->axis(QCPAxis::atBottom);
    QCPAxis *y = group.rect->axis(QCPAxis::atLeft);
    for (int subset : group.subsets) {
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
        graph->setLineStyle(method == PlottingMethod::sgPoint ? QCPGraph::lsNone : QCPGraph::lsLine);
        // A line needs two points: a lone sample is drawn as its point.
        const bool lone = subset < m_cache.size() && m_cache[subset].data->size() == 1;
        if (points || lone)
            graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, pen.color(), pen.color(), 4));
        graph->setSpline(method == PlottingMethod::sgSpline);
        if (legend)
            graph->addToLegend(legend);
    }
}

void ChartWidget::addLimitLines(const Group &group)
{
    QCPAxis *x = group.rect->axis(QCPAxis::atBottom);
    QCPAxis *y = group.rect->axis(QCPAxis::atLeft);
    for (const ChartLimitLine &limit : std::as_const(m_limitLines)) {
        if (!group.subsets.contains(limit.subset) || !std::isfinite(limit.value))
            continue;
        auto *line = new QCPItemStraightLine(m_plot);
        line->setClipToAxisRect(true);
        line->setClipAxisRect(group.rect);
        for (QCPItemPosition *p : {line->point1, line->point2}) {
            p->setType(QCPItemPosition::ptPlotCoords);
            p->setAxes(x, y);
            p->setAxisRect(group.rect);
        }
        line->point1->setCoords(0.0, limit.value);
        line->point2->setCoords(1.0, limit.value);
        const QColor colour = m_mono ? QColor(Qt::black) : argbColor(m_model.subsetColor(limit.subset));
        line->setPen(QPen(colour, 1, Qt::DashLine));
        line->setSelectable(false);
    }
}

void ChartWidget::applyRanges()
{
    const ChartState &s = m_model.state();
    ChartLayout::Span keys;
    for (const SubsetCache &c : std::as_const(m_cache)) {
        if (c.hasData)
            keys.include({c.minKey, c.maxKey});
    }
    m_fullX = ChartLayout::xRange(s, keys);
    const QPair<double, double> visibleX = m_zoomX ? *m_zoomX : m_fullX;

    for (int gi = 0; gi < m_groups.size(); ++gi) {
        Group &g = m_groups[gi];
        ChartLayout::Span readings;
        for (int subset : std::as_const(g.subsets)) {
            if (subset < m_cache.size() && m_cache[subset].hasData)
                readings.include({m_cache[subset].minY, m_cache[subset].maxY});
        }
        // A limit outside the readings is still in sight.
        ChartLayout::Span limits;
        for (const ChartLimitLine &limit : std::as_const(m_limitLines)) {
            if (g.subsets.contains(limit.subset) && std::isfinite(limit.value))
                limits.include(limit.value);
        }
        g.fullY = ChartLayout::yRange(m_model.axis(g.axis), readings, limits);
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
    if (!s.graphAnnotations.show || m_groups.isEmpty())
        return;
    QCPAxisRect *r = rect(0);
    const PlotAreaFn area = [this] { return plottingRect(); };
    const QFont font = chartFont(s.looks.labelFont, QFont::SansSerif, s.graphAnnotations.textSize / 100.0);
    for (const auto &[index, a] : s.graphAnnotations.items) {
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
    const bool show = s.vertLines.show && !m_groups.isEmpty();
    const qsizetype wanted = show ? qsizetype(s.vertLines.items.size()) : 0;
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
    const QFont font = chartFont(s.looks.labelFont, QFont::SansSerif, s.vertLines.textSize / 100.0);
    qsizetype i = 0;
    for (const auto &[index, line] : s.vertLines.items) {
        VertLineItem *item = m_lineItems[i++];
        item->setPoint(toKey(line.x), 0.0);
        const QColor color = m_mono ? QColor(Qt::black) : argbColor(line.color);
        item->setPen(QPen(color, 1, line.type == VertLineType::Dashed ? Qt::DashLine : Qt::SolidLine));
        item->setText(line.text);
        item->setFont(font);
    }
}
