// Mouse input, hit testing, zoom and scroll bars: pixels in, chart events out.
#include "chart/ChartItems.h"
#include "chart/ChartPaint.h"
#include "chart/ChartWidget.h"

#include <QMouseEvent>
#include <QRubberBand>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

using namespace ChartPaint;

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
    if (!s.vertLines.show || !s.looks.allowVertLineAnnotHotSpots || m_groups.isEmpty())
        return -1;
    if (!plottingRect().adjusted(-kLineHotSpot, 0, kLineHotSpot, 1).contains(pixel))
        return -1;
    QCPAxis *x = rect(0)->axis(QCPAxis::atBottom);
    int best = -1;
    double bestDistance = kLineHotSpot + 0.5;
    for (const auto &[index, line] : s.vertLines.items) {
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
    if (!s.graphAnnotations.show || !s.looks.allowGraphAnnotHotSpots)
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
    if (!s.looks.allowDataHotSpots || gi < 0)
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
    const ZoomMode mode = m_model.state().looks.allowZooming;
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
    const bool horizontal = m_zoomX.has_value() && s.looks.scrollingHorzZoom;
    if (horizontal)
        place(m_hbar, m_fullX, *m_zoomX, false);
    const bool vertical = m_zoomAxis >= 0 && m_zoomAxis < m_groups.size() && s.looks.scrollingVertZoom;
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
    if (m_pressed && !m_pressOnLine && m_model.state().looks.allowZooming != ZoomMode::sgNoZooming) {
        const int gi = groupAt(m_pressPos);
        if (gi >= 0 && (m_banding || (m_lastMouse - m_pressPos).manhattanLength() > 4)) {
            m_banding = true;
            const QRect area = rect(gi)->rect();
            QRect band = QRect(m_pressPos, m_lastMouse).normalized().intersected(area);
            const ZoomMode mode = m_model.state().looks.allowZooming;
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
