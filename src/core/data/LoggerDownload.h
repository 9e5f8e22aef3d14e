#pragma once

#include "core/data/TDataSetStore.h"
#include "core/link/MeterLink.h"
#include "core/link/MonotonicClock.h"
#include "core/link/SerialPort.h"

#include <QByteArray>
#include <QObject>

#include <functional>

// The logger download exchange, shared by the program's download command and
// kv518-cli: DOWNLOAD_REQUEST, the packets until the meter falls silent, the
// total the memory directory announces, and the final size check. It neither
// switches ports nor parses the image; the caller does both.

// Where a download stands, in the terms of the progress window: "bytes
// received" and "total bytes".
struct DownloadProgress
{
    qint64 received = 0;  // payload bytes accepted so far
    qint64 total = 0;     // the announced total; 0 until 256 bytes have arrived,
                          // and 0 for a logger without data sets
    PacketStep step = PacketStep::Accepted; // what has just happened

    // The progress bar: a maximum of 0 would turn it into a busy animation, so
    // until a total is known the range is (0, 1) with the value at 0.
    int barMaximum() const;
    int barValue() const;
};

struct LoggerDownloadOptions
{
    // Runs after every ACK and every NAK.
    std::function<void(const DownloadProgress &)> progress;
    const MonotonicClock *clock = nullptr; // nullptr: the system clock
};

struct LoggerDownloadResult
{
    // Fails with ErrorCode::Transfer when fewer bytes came than announced,
    // when the exchange ended before the directory (256 bytes) was in, or at
    // the 16 MiB cap; the figures below tell how far it came, and the
    // failure's message is the cause (cause() below).
    Result<> result = fail(ErrorCode::Transfer, readErrorText());
    QByteArray image;            // every payload byte accepted, in order
    qint64 expectedBytes = 0;    // the announced total (0: none announced)
    bool directoryRead = false;  // the first 256 bytes arrived
    int setCount = 0;            // data sets the directory names
    PacketEnd end = PacketEnd::Silence;
    int retries = 0;
    int packets = 0;             // accepted packets
    int rejectsInRow = 0;        // rejections of the packet after the last accepted one

    qint64 received() const { return image.size(); }
    // Why an incomplete download ended, in one sentence: "Packet 12 was
    // rejected 21 times", "The line went away after 6656 of 7936 bytes",
    // "The meter went silent after 3000 bytes".
    QString cause() const;

    // The error window's text for a download that did not complete.
    static QString readErrorText() { return QStringLiteral("There was error when reading data from meter"); }
};

// Runs the whole exchange on an open port, from the event loop: start()
// returns at once and done is called once, 3 s after the meter's last packet,
// on the 21st retry, at the 16 MiB cap, or when the port closes. The port must
// have no other receive handler while it runs.
class LoggerDownload : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const LoggerDownloadResult &)>;

    explicit LoggerDownload(QObject *parent = nullptr);

    void start(SerialPort &port, LoggerDownloadOptions options, Done done);
    // Ends a running download without calling done.
    void cancel() { m_exchange.cancel(); }
    bool isRunning() const { return m_exchange.isRunning(); }

private:
    void received(const QByteArray &bytes, PacketStep step);

    PacketExchange m_exchange;
    LoggerDownloadOptions m_options;
    LoggerDownloadResult m_result;
};
