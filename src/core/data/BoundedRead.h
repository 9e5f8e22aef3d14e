#pragma once

#include "core/base/Result.h"

#include <QByteArray>

class QFile;
class QIODevice;

// Reads from the device's current position until its end, but never more
// than limit + 1 bytes: a result longer than limit means "too large". A FIFO,
// a pipe or a device such as /dev/zero reports size 0 and may never end, so
// its size cannot be trusted to bound the read.
QByteArray readAtMost(QIODevice &device, qint64 limit);

// How long a FIFO, a pipe or a device may take to give its first bytes (or
// its end) before a read of it is given up.
constexpr int ReadWaitMs = 5000;

// Opens the file named by file.fileName() for reading without ever blocking:
// a plain open() waits for good on a FIFO that no one writes to. A regular
// file opens as QFile::open would; a FIFO, pipe or device opens once its
// first bytes or its end arrive within waitMs. The failure's message is the
// system's reason, for the caller's own sentence.
Result<> openForReading(QFile &file, int waitMs = ReadWaitMs);
