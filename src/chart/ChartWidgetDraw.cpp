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
    font.setPointSizeF(kSizes[int(m_model.state().looks.fontSize)] * scale);
    return font;
}

void ChartWidget::rebuildLayout()
{
    const ChartState &s = m_model.state();
    const Palette pal = paletteFor(s.looks.quickStyle, m_mono);
    m_plot->clearPlottables();
    m_plot->clearItems();
    m_graphs.clear();
    m_lineItems.clear();
    m_noteItems.clear();
    m_plot->plotLayout()->clear();
    m_plot->plotLayout()->setRowSpacing(0);

    if (!m_mono && s.looks.bitmapGradientMode && s.looks.deskGradientStyle != DeskGradientStyle::sgNoGradient) {
        const bool vertical = s.looks.deskGradientStyle == DeskGradientStyle::sgVerticalGradient;
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
    const QFont titleFont = chartFont(s.looks.titleFont, QFont::Serif, 1.4);
    const QFont subFont = chartFont(s.looks.titleFont, QFont::Serif, 1.1);
    const QFont labelFont = chartFont(s.looks.labelFont, QFont::SansSerif);
    auto addTitle = [&](const QString &text, const QFont &font) {
        if (text.trimmed().isEmpty())
            return;
        auto *title = new QCPTextElement(m_plot, text, font);
        title->setTextColor(pal.text);
        m_plot->plotLayout()->addElement(row++, 0, title);
    };
    addTitle(s.looks.mainTitle, titleFont);
    addTitle(s.looks.subTitle, subFont);

    QCPLegend *legend = nullptr;
    QCPLayoutGrid *legendRow = nullptr;
    if (s.looks.showLegend) {
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
    const int separatorWidth = int(s.looks.multiAxesSeparators);
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
        x->setLabel(last ? s.xAxis.label : QString());
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
        const QPen grid = gridPen(s.looks.gridStyle, pal.grid);
        x->grid()->setPen(grid);
        y->grid()->setPen(grid);
        x->grid()->setVisible(s.looks.gridLines == GridLines::sgGridBoth || s.looks.gridLines == GridLines::sgGridX);
        y->grid()->setVisible(s.looks.gridLines == GridLines::sgGridBoth || s.looks.gridLines == GridLines::sgGridY);
        for (QCPAxis *axis : {x, y})
            axis->grid()->setLayer(s.looks.gridInFront ? QStringLiteral("axes") : QStringLiteral("grid"));

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
            const bool points = s.looks.plottingMethod == PlottingMethod::sgPoint
                || s.looks.plottingMethod == PlottingMethod::sgPointsPlusLine;
            graph->setLineStyle(s.looks.plottingMethod == PlottingMethod::sgPoint ? QCPGraph::lsNone
                                                                              : QCPGraph::lsLine);
            if (points)
                graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, pen.color(), pen.color(), 4));
            graph->setSpline(s.looks.plottingMethod == PlottingMethod::sgSpline);
            if (legend)
                graph->addToLegend(legend);
        }
        addLimitLines(g);
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
    const ScaleControl xc = s.xAxis.scaleControl;
    if ((xc == ScaleControl::sgManualMin || xc == ScaleControl::sgManualMinAndMax) && std::isfinite(s.xAxis.manualMin))
        lo = toKey(s.xAxis.manualMin);
    if ((xc == ScaleControl::sgManualMax || xc == ScaleControl::sgManualMinAndMax) && std::isfinite(s.xAxis.manualMax))
        hi = toKey(s.xAxis.manualMax);
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
        // A limit outside the readings is still in sight.
        for (const ChartLimitLine &limit : std::as_const(m_limitLines)) {
            if (g.subsets.contains(limit.subset) && std::isfinite(limit.value)) {
                ylo = std::min(ylo, limit.value);
                yhi = std::max(yhi, limit.value);
            }
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
