#include "core/data/BoundedRead.h"

#include <QIODevice>

QByteArray readAtMost(QIODevice &device, qint64 limit)
{
    constexpr qint64 Chunk = 1 << 20;
    const qint64 wanted = limit + 1;
    QByteArray bytes;
    // A regular file announces its size; reserving it avoids regrowing.
    if (!device.isSequential())
        bytes.reserve(qsizetype(qBound<qint64>(0, device.size() - device.pos(), wanted)));
    while (bytes.size() < wanted) {
        const qsizetype have = bytes.size();
        const qint64 step = qMin(Chunk, wanted - have);
        bytes.resize(have + qsizetype(step));
        const qint64 got = device.read(bytes.data() + have, step);
        if (got <= 0) {
            bytes.resize(have);
            break;
        }
        bytes.resize(have + qsizetype(got));
    }
    return bytes;
}
