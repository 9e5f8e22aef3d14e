#pragma once

#include <QObject>

#include <functional>

class QAbstractItemView;

// Runs a list's click handler once for every click of the user on a row: when
// the click changes the selection, and also when it lands on the row that is
// already selected, which changes nothing but still chooses that row again.
// Keyboard moves run it through the selection change. Selections the program
// makes while `quiet` is set run nothing. The view must have its model.
class RowClicks final : public QObject
{
public:
    RowClicks(QAbstractItemView &view, std::function<void()> handler, const bool &quiet);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_handler;
    const bool &m_quiet;
    // The handler already ran for the press now under way.
    bool m_ranForPress = false;
};
