#include "core/data/LoggerDownload.h"

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

LoggerDownloadResult DownloadLoggerImage(SerialPort &port, const LoggerDownloadOptions &options)
{
    LoggerDownloadResult result;
    PacketOptions packets;
    packets.clock = options.clock;
    packets.idle = options.idle;
    packets.progress = [&](const QByteArray &received, PacketStep step) {
        // The directory is read once, when an accepted packet completes the
        // first 256 bytes; a packet rejected at that size does not count it again.
        if (step == PacketStep::Accepted && !result.directoryRead
            && received.size() == Meter::DirectoryKnownBytes) {
            result.directoryRead = true;
            result.setCount = LoggerImage::CountDirectoryEntries(received);
            // 64-bit: an end address near 2^32 must not wrap when rounded up.
            result.expectedBytes = qint64(LoggerImage::announcedTotal(received).value_or(0));
        }
        if (options.progress)
            options.progress({received.size(), result.expectedBytes, step});
    };

    PacketResult exchange = ReceivePackets(port, Meter::DOWNLOAD_REQUEST, packets);
    result.image = std::move(exchange.bytes);
    result.end = exchange.end;
    result.retries = exchange.retries;

    const bool complete = result.directoryRead && exchange.end != PacketEnd::SizeCap
        && result.received() >= result.expectedBytes;
    result.result = complete ? TLoadResult::lrOk : TLoadResult::lrReadError;
    return result;
}
