#pragma once

#include "core/data/LoggerDownload.h"
#include "core/link/MeterLink.h"
#include "core/link/MonotonicClock.h"

#include <functional>

class ConnectionMonitor;

// The meter flows run from the event loop; on a FakeClock a test turns them
// to their end by firing the clock's calls, so seconds of protocol time take
// milliseconds.
PacketResult runExchange(FakeClock &clock, SerialPort &port, const QByteArray &request,
                         PacketOptions options);
LoggerDownloadResult runDownload(FakeClock &clock, SerialPort &port, LoggerDownloadOptions options);

// Lets ms pass on the clock with the event loop's own work in between: the
// events already posted (in-memory lines deliver that way) run before each
// clock call. Returns early, with true, once done() holds.
bool passTime(FakeClock &clock, qint64 ms, const std::function<bool()> &done = {});

// The start-up search to its end (searchFinished), on the monitor's clock:
// a FakeClock when one is given, else the real one (waits up to 10 s).
bool searchToEnd(ConnectionMonitor &monitor, FakeClock *clock = nullptr);
