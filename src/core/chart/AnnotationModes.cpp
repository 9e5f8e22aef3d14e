#include "core/chart/AnnotationModes.h"

#include <algorithm>

int AnnotationModes::nextIndex(int highestOnChart)
{
    counter = std::max(counter, highestOnChart) + 1;
    return counter;
}
