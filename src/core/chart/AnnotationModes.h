#pragma once

// What a click on a chart places.
enum class ClickMode { Normal = -99, Text = 0, Cross = 2 };

// The click mode and the number of the last note placed, one pair for every
// data view of the program: choosing "Text" in one view puts every view into
// text mode, and note numbers keep rising from view to view. (The cursors,
// by contrast, belong to each view.) The program's AppContext owns the one
// pair; the views reach it through the context.
struct AnnotationModes
{
    ClickMode clickMode = ClickMode::Normal;
    // The index of the last note or cross placed; the first one gets 4.
    int counter = 3;

    // Index of a new note on a chart whose highest annotation index is
    // highestOnChart: above the counter and above every note the chart
    // already holds, so a stored one is never overwritten. Counts it.
    int nextIndex(int highestOnChart);
};
