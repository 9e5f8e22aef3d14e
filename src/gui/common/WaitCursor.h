#pragma once

#include <QGuiApplication>

// The hourglass while a long step runs; restored when the guard ends, on
// every return path, or earlier with restore() (before a message box).
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

    void restore()
    {
        if (m_active) {
            m_active = false;
            QGuiApplication::restoreOverrideCursor();
        }
    }

private:
    bool m_active = true;
};
