#include "core/data/LoggerDownload.h"

#include "core/base/Log.h"
#include "core/data/LoggerImage.h"
#include "core/link/MeterMessages.h"

#include <algorithm>
#include <limits>

int DownloadProgress::barMaximum() const
{
    if (total <= 0)
        return 1;
    return int(std::min<qint64>(total, std::numeric_limits<int>::max()));
}

int DownloadProgress::barValue() const
{
    if (total <= 0)
        return 0;
    // A meter that sends more than it announced leaves the bar full.
    return int(std::min<qint64>(received, barMaximum()));
}

LoggerDownload::LoggerDownload(QObject *parent)
    : QObject(parent)
{
}

void LoggerDownload::start(SerialPort &port, LoggerDownloadOptions options, Done done)
{
    m_options = std::move(options);
    m_result = {};
    PacketOptions packets;
    packets.clock = m_options.clock;
    packets.progress = [this](const QByteArray &bytes, PacketStep step) { received(bytes, step); };
    m_exchange.start(port, Meter::DOWNLOAD_REQUEST, std::move(packets),
                     [this, done = std::move(done)](const PacketResult &exchange) {
                         LoggerDownloadResult result = m_result;
                         result.image = exchange.bytes;
                         result.end = exchange.end;
                         result.retries = exchange.retries;
                         result.packets = exchange.packets;
                         const bool complete = result.directoryRead && exchange.end != PacketEnd::SizeCap
                             && result.received() >= result.expectedBytes;
                         if (complete)
                             result.result = Result<>();
                         else {
                             result.result = fail(ErrorCode::Transfer, result.cause());
                             qCInfo(lcData).noquote() << "download incomplete:" << result.cause();
                         }
                         if (done)
                             done(result);
                     });
}

QString LoggerDownloadResult::cause() const
{
    const QString bytes = expectedBytes > 0 && directoryRead
        ? QStringLiteral("%1 of %2 bytes").arg(received()).arg(expectedBytes)
        : QStringLiteral("%1 bytes").arg(received());
    QString cause;
    switch (end) {
    case PacketEnd::TooManyRetries:
        cause = rejectsInRow == retries
            ? QStringLiteral("Packet %1 was rejected %2 times").arg(packets + 1).arg(retries)
            : QStringLiteral("Packet %1 was rejected %2 times, after %3 rejections before it")
                  .arg(packets + 1)
                  .arg(rejectsInRow)
                  .arg(retries - rejectsInRow);
        break;
    case PacketEnd::PortClosed: cause = QStringLiteral("The line went away after %1").arg(bytes); break;
    case PacketEnd::SizeCap: return QStringLiteral("The meter sent more than 16 MiB, more than any logger holds");
    case PacketEnd::Silence:
    case PacketEnd::TargetReached:
        if (received() == 0 && retries == 0)
            return QStringLiteral("The meter did not answer the download request");
        cause = QStringLiteral("The meter went silent after %1").arg(bytes);
        break;
    }
    if (!directoryRead)
        cause += QStringLiteral(", before the memory directory was complete");
    return cause;
}

void LoggerDownload::received(const QByteArray &bytes, PacketStep step)
{
    m_result.rejectsInRow = step == PacketStep::Rejected ? m_result.rejectsInRow + 1 : 0;
    // The directory is read once, when an accepted packet completes the
    // first 256 bytes; a packet rejected at that size does not count it again.
    if (step == PacketStep::Accepted && !m_result.directoryRead && bytes.size() == Meter::DirectoryKnownBytes) {
        m_result.directoryRead = true;
        m_result.setCount = LoggerImage::CountDirectoryEntries(bytes);
        // 64-bit: an end address near 2^32 must not wrap when rounded up.
        m_result.expectedBytes = qint64(LoggerImage::announcedTotal(bytes).value_or(0));
    }
    if (m_options.progress)
        m_options.progress({bytes.size(), m_result.expectedBytes, step});
}
