#include "core/chart/GraphFile.h"
#include "core/data/BoundedRead.h"

#include "core/base/Log.h"
#include "core/chart/ChartModel.h"
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

namespace {

Result<> readGraphFile(ChartModel &chart, const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (Result<> opened = openForReading(file); !opened)
        return fail(ErrorCode::Unreadable, QStringLiteral("Cannot open file \"%1\". %2").arg(shown, opened.message()));
    uchar head[4];
    if (file.read(reinterpret_cast<char *>(head), 4) != 4)
        return fail(ErrorCode::Damaged, QStringLiteral("The graph file \"%1\" is too short.").arg(shown));
    const quint32 count = qFromLittleEndian<quint32>(head);
    if (qint64(count) > file.size() - 4)
        return fail(ErrorCode::Damaged,
                    QStringLiteral("The graph file \"%1\" is shorter than its size field says.").arg(shown));
    QByteArray body(qsizetype(count), Qt::Uninitialized);
    if (file.read(body.data(), count) != qint64(count))
        return fail(ErrorCode::Unreadable,
                    QStringLiteral("Cannot read file \"%1\". %2").arg(shown, file.errorString()));
    if (Result<> loaded = chart.load(body); !loaded)
        return fail(loaded.code(),
                    QStringLiteral("The graph file \"%1\" cannot be read: %2").arg(shown, loaded.message()));
    return {};
}

} // namespace

Result<> LoadGraphFile(ChartModel &chart, const QString &path)
{
    Result<> loaded = readGraphFile(chart, path);
    if (!loaded)
        qCInfo(lcChart).noquote() << "refused:" << loaded.message();
    return loaded;
}

Result<> SaveGraphFile(const ChartModel &chart, const QString &path)
{
    return writeGraphFile(chart.store(), path);
}

Result<> writeGraphFile(const QByteArray &body, const QString &path)
{
    if (body.size() > qsizetype(0xffffffffu)) {
        qCInfo(lcChart).noquote() << "chart too large for a graph file:" << body.size() << "bytes for" << path;
        return fail(ErrorCode::TooLarge, QStringLiteral("The chart is too large for a graph file."));
    }
    uchar head[4];
    qToLittleEndian<quint32>(quint32(body.size()), head);
    AtomicFile file(path);
    if (Result<> opened = file.open(); !opened)
        return opened;
    file.write(QByteArrayView(reinterpret_cast<const char *>(head), 4));
    file.write(body);
    return file.commit();
}
