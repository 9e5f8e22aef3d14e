#include "chart/ChartItems.h"

#include <cmath>

SplineGraph::SplineGraph(QCPAxis *keyAxis, QCPAxis *valueAxis)
    : QCPGraph(keyAxis, valueAxis)
{
}

namespace {

// Appends a Catmull-Rom curve through pts[first..last] (all finite) to path.
void appendCatmullRom(QPainterPath &path, const QVector<QPointF> &pts, int first, int last)
{
    path.moveTo(pts[first]);
    for (int i = first; i < last; ++i) {
        const QPointF &p0 = pts[std::max(i - 1, first)];
        const QPointF &p1 = pts[i];
        const QPointF &p2 = pts[i + 1];
        const QPointF &p3 = pts[std::min(i + 2, last)];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
}

bool finitePoint(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

} // namespace

void SplineGraph::drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const
{
    // Beyond about one point per 3 pixels the adaptive sampler has merged
    // points, and a curve through merged extremes would only overshoot.
    const int plain = keyAxis() ? int(keyAxis()->axisRect()->width()) / 3 : 0;
    if (!m_spline || lines.size() > plain || lines.size() < 3) {
        QCPGraph::drawLinePlot(painter, lines);
        return;
    }
    if (painter->pen().style() == Qt::NoPen || painter->pen().color().alpha() == 0)
        return;
    applyDefaultAntialiasingHint(painter);
    QPainterPath path;
    int start = -1;
    for (int i = 0; i <= lines.size(); ++i) {
        const bool ok = i < lines.size() && finitePoint(lines[i]);
        if (ok && start < 0)
            start = i;
        if (!ok && start >= 0) {
            appendCatmullRom(path, lines, start, i - 1);
            start = -1;
        }
    }
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(path);
}

PlotAreaItem::PlotAreaItem(QCustomPlot *plot, QCPAxis *keyAxis, QCPAxis *valueAxis, PlotAreaFn area)
    : QCPAbstractItem(plot)
    , m_keyAxis(keyAxis)
    , m_valueAxis(valueAxis)
    , m_area(std::move(area))
{
    setSelectable(false);
}

QPointF PlotAreaItem::pixel() const
{
    if (!m_keyAxis || !m_valueAxis)
        return {};
    return QPointF(m_keyAxis->coordToPixel(m_key), m_valueAxis->coordToPixel(m_value));
}

QRect PlotAreaItem::clipRect() const
{
    return m_area ? m_area() : QCPAbstractItem::clipRect();
}

QRectF NoteItem::textRect() const
{
    const QFontMetricsF fm(m_font);
    const QPointF p = pixel();
    const QRectF box = fm.boundingRect(QRectF(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop, m_text);
    return QRectF(p.x(), p.y() - box.height() / 2.0, box.width(), box.height());
}

void NoteItem::draw(QCPPainter *painter)
{
    if (m_text.isEmpty())
        return;
    painter->setFont(m_font);
    painter->setPen(m_color);
    painter->drawText(textRect(), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}

void CrossItem::draw(QCPPainter *painter)
{
    const QPointF p = pixel();
    const double h = (CrossSize - 1) / 2.0;
    painter->setAntialiasing(false);
    painter->setPen(QPen(m_color, 1));
    painter->drawLine(QPointF(p.x() - h, p.y()), QPointF(p.x() + h, p.y()));
    painter->drawLine(QPointF(p.x(), p.y() - h), QPointF(p.x(), p.y() + h));
}

void VertLineItem::draw(QCPPainter *painter)
{
    const QRect area = clipRect();
    const double x = std::round(pixel().x()) + 0.5;
    if (x < area.left() - 1 || x > area.right() + 1)
        return;
    painter->setAntialiasing(false);
    painter->setPen(m_pen);
    painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    if (m_text.isEmpty())
        return;
    painter->setFont(m_font);
    painter->setPen(m_pen.color());
    const QFontMetrics fm(m_font);
    painter->drawText(QPointF(x + 3, area.top() + fm.ascent() + 1), m_text);
}
