#include "gui/dataview/RowClicks.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QItemSelectionModel>

RowClicks::RowClicks(QAbstractItemView &view, std::function<void()> handler, const bool &quiet)
    : QObject(&view)
    , m_handler(std::move(handler))
    , m_quiet(quiet)
{
    // Ahead of the view, so the flag is reset before the press selects.
    view.viewport()->installEventFilter(this);
    connect(view.selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_quiet)
            return;
        m_ranForPress = true;
        m_handler();
    });
    connect(&view, &QAbstractItemView::clicked, this, [this] {
        if (!m_ranForPress && !m_quiet)
            m_handler();
        m_ranForPress = false;
    });
}

bool RowClicks::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress)
        m_ranForPress = false;
    return QObject::eventFilter(watched, event);
}
