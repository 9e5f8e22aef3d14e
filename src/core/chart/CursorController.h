#pragma once

#include "core/data/Statistics.h"

#include <QString>
#include <QtGlobal>

#include <span>

class ChartModel;
class DateTimeText;
class MonotonicClock;

// The cursors A and B of one data view and the texts of its statistics panel.
// It reads the view's chart and holds no widget: the view asks it where the
// lines go and what the boxes say, and copies the answers. Each view has its
// own, so a selection or a drag in one view never moves another's cursors.
class CursorController
{
public:
    // The chart's vertical lines, by annotation index.
    enum class Line { Point = 0, A = 1, B = 2 };

    // A dragged line moves at most once per this span.
    static constexpr qint64 DragIntervalMs = 200;

    // Both are kept by reference and must outlive the controller.
    CursorController(const ChartModel &chart, const DateTimeText &texts);

    // The clock the drag reads (not owned); nullptr is the real one.
    void setClock(const MonotonicClock *clock) { m_clock = clock; }

    int CursorAIndex() const { return m_cursorA; }
    int CursorBIndex() const { return m_cursorB; }
    bool DraggingA() const { return m_draggingA; }
    bool DraggingB() const { return m_draggingB; }
    qint64 LastDragUpdate() const { return m_lastDragUpdate; }

    // The chart's arrays; empty while it does not hold both channels.
    ChartSeries series() const;
    qsizetype points() const { return series().points(); }
    // The time of a sample, and of the sample under cursor A or B.
    double sampleTime(qsizetype index) const;
    double cursorTime(Line line) const;

    // Selecting sample `index` puts A on a third and B on two thirds of the
    // points. False, with nothing moved, when no sample has that index.
    bool SelectPoint(qsizetype index);
    // The point line's text for a sample: time, " H:" humidity, " T:" temperature.
    QString pointLineText(qsizetype index) const;

    // The whole-set boxes and the strip for channel 0 (humidity) or 1.
    StatisticsTexts wholeSetTexts(int channel) const;
    // The cursor boxes for a channel, after keeping both cursors on a sample
    // (every text is empty while the chart has no points).
    CursorTexts UpdateCursorStatistics(int channel);

    // A click on line A or B starts its drag; false for the point line or a
    // line already dragged.
    bool grab(Line line);

    // The dragged lines that follow the mouse now: only inside the plot, and
    // each at most once per DragIntervalMs (strictly longer).
    struct Follow
    {
        bool a = false;
        bool b = false;
    };
    Follow mouseMove(bool insidePlot);

    // The mouse button is released: every drag ends, and a dragged cursor
    // snaps to the sample nearest the mouse. Without two distinct sample times
    // nothing snaps and the cursor boxes are left as they are.
    struct Drop
    {
        bool snapped = false;   // false: only the drags ended
        bool movedA = false;
        bool movedB = false;
    };
    Drop drop(double mouseX, bool insidePlot);

    // The sample a dropped line lands on: the nearest to the mouse's X, a tie
    // going to the later one; outside the plot the line's cursor stays.
    qsizetype NearestPoint(Line line, double mouseX, bool insidePlot) const;

    // Where a selection puts the cursors among `points` samples.
    struct Placement
    {
        qsizetype a = 0;
        qsizetype b = 0;
    };
    static Placement placement(qsizetype points);
    // The nearest sample by binary search over x (in time order); `current`
    // when the mouse is outside the plot or there are no samples.
    static qsizetype nearestSample(std::span<const double> x, double mouseX, bool insidePlot, qsizetype current);

private:
    qint64 nowMs() const;
    bool follows(bool dragging);
    void clampCursors(qsizetype points);

    const ChartModel &m_chart;
    const DateTimeText &m_texts;
    const MonotonicClock *m_clock = nullptr;
    int m_cursorA = 0;
    int m_cursorB = 0;
    bool m_draggingA = false;
    bool m_draggingB = false;
    qint64 m_lastDragUpdate = 0;   // ms of the monotonic clock
};
