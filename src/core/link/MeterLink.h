#pragma once

#include "core/link/MonotonicClock.h"
#include "core/link/SerialPort.h"

#include <QByteArray>
#include <QObject>

#include <functional>

// The meter dialogues on any port object (Comm1, Comm2, Comm3, or the command
// line tool's own port). Nothing here blocks or runs an event loop of its own:
// the exchanges are driven by the port's received() signal and by the clock's
// callbacks, so the window stays alive and a modal dialog does not stop them.

// Writes the message with a single write; nothing is sent on a closed port.
// Returns the number of bytes handed to the line.
qint64 SendRequest(SerialPort &port, const QByteArray &message);

// Wraps the request in the STX envelope and writes it with one write.
qint64 SendFramed(SerialPort &port, const QByteArray &request);

// Reads what waits on the port, at most cap bytes, and appends it to buffer.
// Returns the number of bytes read.
qint64 ReadWaiting(SerialPort &port, QByteArray &buffer, qint64 cap);

// Cuts frames of frameLength bytes (0xEF ... 0xFE at the last position) out of
// a stream buffer and hands each to handler, in order. Bytes before a start
// byte are dropped; a start byte without an end byte at the right position is
// dropped alone, so the stream resynchronises on the next 0xEF. An incomplete
// frame stays in the buffer for the next receive event.
void ExtractFrames(QByteArray &buffer, int frameLength,
                   const std::function<void(const QByteArray &frame)> &handler);

// How a packet exchange ended.
enum class PacketEnd {
    Silence,         // no packet for 3 s (how every download ends)
    TooManyRetries,  // the 21st rejected or stale packet
    TargetReached,   // the caller's byte target was met
    SizeCap,         // more than 16 MiB would have been received: a read error
    PortClosed,      // the port is closed or failed; nothing more can arrive
};

enum class PacketStep { Accepted, Rejected };

struct PacketResult {
    QByteArray bytes;  // the payloads of the accepted packets, in order
    PacketEnd end = PacketEnd::Silence;
    int retries = 0;
    int packets = 0;   // accepted packets
};

struct PacketOptions {
    // Stop as soon as this many payload bytes are received (0: no target).
    qint64 target = 0;
    // Runs after every ACK (Accepted) and every NAK (Rejected) with the bytes
    // received so far.
    std::function<void(const QByteArray &received, PacketStep step)> progress;
    const MonotonicClock *clock = nullptr; // nullptr: the system clock
    qint64 cap = 0;                        // 0: the 16 MiB download cap
};

// The packet exchange of DIRECTORY_REQUEST and DOWNLOAD_REQUEST: sends the
// request, then takes 67-byte packets, answering a good checksum with ACK and a
// bad one with NAK (a rejected packet leaves the received bytes as they were).
// A partial packet older than 1.5 s is dropped and answered with NAK. The
// exchange ends after 3 s without a packet, on the 21st retry, at the target,
// at the size cap, or when the port closes.
//
// It runs from the event loop: start() returns at once, and done is called
// once at the end (never from inside start()). The port must stay open for it
// alone: the exchange is its only receive handler while it runs.
class PacketExchange : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const PacketResult &)>;

    explicit PacketExchange(QObject *parent = nullptr);
    ~PacketExchange() override;

    void start(SerialPort &port, const QByteArray &request, PacketOptions options, Done done);
    // Ends a running exchange without calling done.
    void cancel();
    bool isRunning() const { return m_port != nullptr; }

private:
    // Applies every rule that the bytes and the time allow, then asks the
    // clock for a call when the next rule falls due.
    void step();
    bool stepOnce();
    void reject();
    void finish(PacketEnd end);

    SerialPort *m_port = nullptr;
    PacketOptions m_options;
    Done m_done;
    PacketResult m_result;
    const MonotonicClock *m_clock = nullptr;
    qint64 m_cap = 0;
    qint64 m_lastActivity = 0;
    quint64 m_wakeGeneration = 0;
    bool m_wakePending = false;
    qint64 m_wakeDue = 0;
    bool m_stepping = false;
    bool m_stepAgain = false;
    bool m_ended = false;
    Done m_endedDone;
    QMetaObject::Connection m_received;
    QMetaObject::Connection m_closed;
};

// Adds up a packet's payload bytes (1..64) modulo 256.
quint8 PacketChecksum(const QByteArray &packet);
