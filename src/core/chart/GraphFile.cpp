#include "core/chart/GraphFile.h"

#include "core/base/Log.h"
#include "core/chart/ChartModel.h"
#include "core/data/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

namespace {

Result<> refuse(ErrorCode code, const QString &text)
{
    qCInfo(lcChart).noquote() << text;
    return fail(code, text);
}

} // namespace

Result<> LoadGraphFile(ChartModel &chart, const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(ErrorCode::Unreadable, QStringLiteral("Cannot open file \"%1\". %2").arg(shown, file.errorString()));
    uchar head[4];
    if (file.read(reinterpret_cast<char *>(head), 4) != 4)
        return refuse(ErrorCode::Damaged, QStringLiteral("The graph file \"%1\" is too short.").arg(shown));
    const quint32 count = qFromLittleEndian<quint32>(head);
    if (qint64(count) > file.size() - 4)
        return refuse(ErrorCode::Damaged,
                      QStringLiteral("The graph file \"%1\" is shorter than its size field says.").arg(shown));
    QByteArray body(qsizetype(count), Qt::Uninitialized);
    if (file.read(body.data(), count) != qint64(count))
        return refuse(ErrorCode::Unreadable, QStringLiteral("Cannot read file \"%1\". %2").arg(shown, file.errorString()));
    QString why;
    if (!chart.load(body, &why))
        return refuse(ErrorCode::Damaged, QStringLiteral("The graph file \"%1\" cannot be read: %2").arg(shown, why));
    return {};
}

Result<> SaveGraphFile(const ChartModel &chart, const QString &path)
{
    return writeGraphFile(chart.store(), path);
}

Result<> writeGraphFile(const QByteArray &body, const QString &path)
{
    if (body.size() > qsizetype(0xffffffffu))
        return refuse(ErrorCode::TooLarge, QStringLiteral("The chart is too large for a graph file."));
    uchar head[4];
    qToLittleEndian<quint32>(quint32(body.size()), head);
    AtomicFile file(path);
    if (Result<> opened = file.open(); !opened)
        return opened;
    file.write(QByteArrayView(reinterpret_cast<const char *>(head), 4));
    file.write(body);
    return file.commit();
}
