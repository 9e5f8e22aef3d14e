#include "core/chart/GraphFile.h"

#include "core/chart/ChartModel.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QtEndian>

namespace {

bool failWith(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

bool LoadGraphFile(ChartModel &chart, const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failWith(error, QStringLiteral("Cannot open file \"%1\". %2").arg(shown, file.errorString()));
    uchar head[4];
    if (file.read(reinterpret_cast<char *>(head), 4) != 4)
        return failWith(error, QStringLiteral("The graph file \"%1\" is too short.").arg(shown));
    const quint32 count = qFromLittleEndian<quint32>(head);
    if (qint64(count) > file.size() - 4)
        return failWith(error, QStringLiteral("The graph file \"%1\" is shorter than its size field says.").arg(shown));
    QByteArray body(qsizetype(count), Qt::Uninitialized);
    if (file.read(body.data(), count) != qint64(count))
        return failWith(error, QStringLiteral("Cannot read file \"%1\". %2").arg(shown, file.errorString()));
    QString why;
    if (!chart.load(body, &why))
        return failWith(error, QStringLiteral("The graph file \"%1\" cannot be read: %2").arg(shown, why));
    return true;
}

bool SaveGraphFile(const ChartModel &chart, const QString &path, QString *error)
{
    return writeGraphFile(chart.store(), path, error);
}

bool writeGraphFile(const QByteArray &body, const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (body.size() > qsizetype(0xffffffffu))
        return failWith(error, QStringLiteral("The chart is too large for a graph file."));
    uchar head[4];
    qToLittleEndian<quint32>(quint32(body.size()), head);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failWith(error, QStringLiteral("Cannot create file \"%1\". %2").arg(shown, file.errorString()));
    if (file.write(reinterpret_cast<const char *>(head), 4) != 4 || file.write(body) != body.size()
        || !file.commit())
        return failWith(error, QStringLiteral("Cannot write file \"%1\". %2").arg(shown, file.errorString()));
    return true;
}
