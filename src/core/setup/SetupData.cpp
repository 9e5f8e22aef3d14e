#include "core/setup/SetupData.h"

#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"

#include <QtEndian>

namespace SetupData {

namespace {
constexpr int EntrySize = 16;
constexpr int MaxSets = 15;
constexpr int SampleBytes = 4;

std::optional<QDateTime> dateTimeOf(const char *fields)
{
    const auto field = [fields](int i) { return int(quint8(fields[i])); };
    const QDate date(2000 + field(0), field(1), field(2));
    const QTime time(field(3), field(4), field(5));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}
} // namespace

QList<DirectoryRow> listDirectory(const QByteArray &directory)
{
    QList<DirectoryRow> rows;
    if (directory.size() < Meter::DirectoryKnownBytes)
        return rows;
    quint32 previousEnd = Meter::DirectoryBytes;
    for (int k = 1; k <= MaxSets; ++k) {
        const char *entry = directory.constData() + EntrySize * k;
        const quint32 end = qFromLittleEndian<quint32>(entry + 12);
        if (end == 0)
            break;
        DirectoryRow row;
        row.set = k;
        // Truncated toward zero: a damaged entry ending before its start
        // shows a negative count rather than a huge one.
        row.samples = (qint64(end) - qint64(previousEnd)) / SampleBytes;
        previousEnd = end;
        row.start = dateTimeOf(entry + 4);
        rows << row;
    }
    return rows;
}

const QStringList &intervalItems()
{
    static const QStringList items = {
        QStringLiteral("00:01"), QStringLiteral("00:02"), QStringLiteral("00:05"), QStringLiteral("00:10"),
        QStringLiteral("00:15"), QStringLiteral("00:20"), QStringLiteral("00:30"), QStringLiteral("01:00"),
        QStringLiteral("02:00"), QStringLiteral("05:00"), QStringLiteral("10:00"), QStringLiteral("20:00"),
        QStringLiteral("30:00"), QStringLiteral("60:00"),
    };
    return items;
}

int intervalIndex(const QString &text)
{
    return int(intervalItems().indexOf(text.trimmed()));
}

std::optional<int> intervalFromReply(const QByteArray &reply)
{
    if (reply.size() < Meter::ShortReplyLength || reply.at(0) != Meter::StartByte || reply.at(2) != Meter::EndByte)
        return std::nullopt;
    const int index = quint8(reply.at(1));
    return index >= Meter::IntervalCount ? 0 : index;
}

std::optional<QDateTime> clockFrameTime(const QByteArray &frame)
{
    if (frame.size() != Meter::ClockFrameLength || frame.at(0) != Meter::StartByte
        || frame.at(Meter::ClockFrameLength - 1) != Meter::EndByte)
        return std::nullopt;
    return dateTimeOf(frame.constData() + 1);
}

bool isConfirmed(const QByteArray &reply)
{
    return reply.startsWith(Meter::CONFIRM_REPLY);
}

bool isErased(const QByteArray &reply)
{
    return reply.size() >= Meter::ShortReplyLength && quint8(reply.at(1)) == 0x59;
}

bool isStrictIdentity(const QByteArray &reply)
{
    return reply.startsWith(Meter::IDENTIFY_REPLY);
}

} // namespace SetupData

namespace SetupData {
void extractClockTimes(QByteArray &buffer, const std::function<void(const QDateTime &)> &handler)
{
    ExtractFrames(buffer, Meter::ClockFrameLength, [&handler](const QByteArray &frame) {
        if (const std::optional<QDateTime> time = clockFrameTime(frame))
            handler(*time);
    });
}

QString eraseQuestion(const EraseStake &stake)
{
    QStringList sentences;
    if (stake.sets == 1)
        sentences << QStringLiteral("Erase the 1 data set on the logger?");
    else if (stake.sets > 1)
        sentences << QStringLiteral("Erase all %1 data sets on the logger?").arg(stake.sets);
    else
        sentences << QStringLiteral("Erase the logger's memory?");
    if (stake.sets > 0 && stake.notArchived > 0)
        sentences << (stake.sets == 1 ? QStringLiteral("It is not archived.")
                                      : QStringLiteral("%1 of %2 data sets on the logger are not archived.")
                                            .arg(stake.notArchived)
                                            .arg(stake.sets));
    else if (stake.sets > 0 && stake.notArchived == 0)
        sentences << (stake.sets == 1 ? QStringLiteral("It is archived.") : QStringLiteral("All of them are archived."));
    sentences << QStringLiteral("This cannot be undone.");
    return sentences.join(u' ');
}
} // namespace SetupData

namespace SetupData {
QString NoAnswerText()
{
    return QStringLiteral("The logger did not answer");
}

QString commandOutcome(const QByteArray &reply, bool confirmed, const QString &done)
{
    if (confirmed)
        return done;
    return reply.isEmpty() ? NoAnswerText() : QStringLiteral("The logger did not confirm it");
}

QString unitSetText(bool fahrenheit)
{
    return fahrenheit ? QStringLiteral("Unit set to \u00B0F") : QStringLiteral("Unit set to \u00B0C");
}

QString intervalSetText(int index)
{
    return QStringLiteral("Interval set to %1").arg(intervalItems().value(index));
}

QString notAnIntervalText(const QString &typed)
{
    return QStringLiteral("\"%1\" is not one of the intervals").arg(typed.trimmed());
}
} // namespace SetupData
