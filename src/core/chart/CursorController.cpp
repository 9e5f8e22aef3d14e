#include "core/chart/CursorController.h"

#include "core/chart/ChartModel.h"
#include "core/data/DateTimeText.h"
#include "core/link/MonotonicClock.h"

#include <algorithm>

CursorController::CursorController(const ChartModel &chart, const DateTimeText &texts)
    : m_chart(chart)
    , m_texts(texts)
{
}

ChartSeries CursorController::series() const
{
    ChartSeries s;
    if (m_chart.subsets() < 2)
        return s;
    for (int c = 0; c < 2; ++c) {
        s.x[c] = m_chart.xOfSubset(c);
        s.y[c] = m_chart.yOfSubset(c);
    }
    return s;
}

double CursorController::sampleTime(qsizetype index) const
{
    const std::span<const double> x = series().x[0];
    return index >= 0 && index < qsizetype(x.size()) ? x[size_t(index)] : 0.0;
}

double CursorController::cursorTime(Line line) const
{
    return sampleTime(line == Line::B ? m_cursorB : m_cursorA);
}

bool CursorController::SelectPoint(qsizetype index)
{
    const qsizetype n = points();
    if (index < 0 || index >= n)
        return false;
    const Placement p = placement(n);
    m_cursorA = int(p.a);
    m_cursorB = int(p.b);
    return true;
}

QString CursorController::pointLineText(qsizetype index) const
{
    return Statistics::pointLineText(series(), index, m_texts);
}

StatisticsTexts CursorController::wholeSetTexts(int channel) const
{
    return Statistics::panelTexts(Statistics::wholeSet(series()), channel, m_texts);
}

void CursorController::clampCursors(qsizetype points)
{
    if (points == 0)
        return;
    m_cursorA = int(std::clamp<qsizetype>(m_cursorA, 0, points - 1));
    m_cursorB = int(std::clamp<qsizetype>(m_cursorB, 0, points - 1));
}

CursorTexts CursorController::UpdateCursorStatistics(int channel)
{
    const ChartSeries s = series();
    clampCursors(s.points());
    return Statistics::cursorTexts(Statistics::betweenCursors(s, channel, m_cursorA, m_cursorB), m_texts);
}

qint64 CursorController::nowMs() const
{
    return (m_clock ? *m_clock : MonotonicClock::system()).nowMs();
}

bool CursorController::grab(Line line)
{
    if (line == Line::A && !m_draggingA)
        m_draggingA = true;
    else if (line == Line::B && !m_draggingB)
        m_draggingB = true;
    else
        return false;
    m_lastDragUpdate = nowMs();
    return true;
}

bool CursorController::follows(bool dragging)
{
    const qint64 now = nowMs();
    if (!dragging || now - m_lastDragUpdate <= DragIntervalMs)
        return false;
    m_lastDragUpdate = now;
    return true;
}

CursorController::Follow CursorController::mouseMove(bool insidePlot)
{
    Follow f;
    if ((!m_draggingA && !m_draggingB) || !insidePlot)
        return f;
    // In this order: a line that moves restarts the interval for the other.
    f.a = follows(m_draggingA);
    f.b = follows(m_draggingB);
    return f;
}

CursorController::Drop CursorController::drop(double mouseX, bool insidePlot)
{
    Drop d;
    const std::span<const double> x = series().x[0];
    if (x.size() < 2 || x.front() == x.back()) {
        m_draggingA = false;
        m_draggingB = false;
        return d;
    }
    d.snapped = true;
    if (m_draggingA) {
        m_draggingA = false;
        m_cursorA = int(NearestPoint(Line::A, mouseX, insidePlot));
        d.movedA = true;
    }
    if (m_draggingB) {
        m_draggingB = false;
        m_cursorB = int(NearestPoint(Line::B, mouseX, insidePlot));
        d.movedB = true;
    }
    return d;
}

qsizetype CursorController::NearestPoint(Line line, double mouseX, bool insidePlot) const
{
    const std::span<const double> x = series().x[0];
    const qsizetype current = line == Line::B ? m_cursorB : m_cursorA;
    const qsizetype nearest = nearestSample(x, mouseX, insidePlot, current);
    // A cursor left from longer content stays on a sample of this one.
    return x.empty() ? nearest : std::clamp<qsizetype>(nearest, 0, qsizetype(x.size()) - 1);
}

CursorController::Placement CursorController::placement(qsizetype points)
{
    if (points <= 0)
        return {};
    return {std::min(points / 3, points - 1), std::min(2 * points / 3, points - 1)};
}

qsizetype CursorController::nearestSample(std::span<const double> x, double mouseX, bool insidePlot, qsizetype current)
{
    const qsizetype points = qsizetype(x.size());
    if (!insidePlot || points == 0)
        return current;
    qsizetype lo = 0;
    qsizetype hi = points;
    while (hi - lo > 1) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (x[size_t(mid)] > mouseX)
            hi = mid;
        else if (x[size_t(mid)] < mouseX)
            lo = mid;
        else
            lo = hi = mid;
    }
    if (hi == points)
        return points - 1;
    return mouseX - x[size_t(lo)] < x[size_t(hi)] - mouseX ? lo : hi;
}
