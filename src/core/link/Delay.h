#pragma once

#include <QtGlobal>

// The pause of every meter dialogue: processes events (timers, receive events,
// user input) until more than ms milliseconds have passed, without spinning.
// Returns the elapsed milliseconds. Returns at once while the application is
// quitting, since nested event loops no longer run then.
qint64 Delay(int ms);
