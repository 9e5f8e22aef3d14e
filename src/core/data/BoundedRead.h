#pragma once

#include <QByteArray>

class QIODevice;

// Reads from the device's current position until its end, but never more
// than limit + 1 bytes: a result longer than limit means "too large". A FIFO,
// a pipe or a device such as /dev/zero reports size 0 and may never end, so
// its size cannot be trusted to bound the read.
QByteArray readAtMost(QIODevice &device, qint64 limit);
