#include "gui/dataview/AnnotationModes.h"

#include <QObject>

#include <algorithm>

namespace {

class AnnotationModesHolder final : public QObject
{
public:
    using QObject::QObject;
    AnnotationModes modes;
};

} // namespace

int AnnotationModes::nextIndex(int highestOnChart)
{
    counter = std::max(counter, highestOnChart) + 1;
    return counter;
}

AnnotationModes &AnnotationModes::of(QObject &owner)
{
    for (QObject *child : owner.children()) {
        if (auto *holder = dynamic_cast<AnnotationModesHolder *>(child))
            return holder->modes;
    }
    return (new AnnotationModesHolder(&owner))->modes;
}
