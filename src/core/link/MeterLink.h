#pragma once

#include "core/link/MonotonicClock.h"
#include "core/link/SerialPort.h"

#include <QByteArray>

#include <functional>

// The meter dialogues on any port object (Comm1, Comm2, Comm3, or the command
// line tool's own port). None of these process window events: callers that
// want the window to stay alive do so in the progress step of ReceivePackets.

// Writes the message with a single write; nothing is sent on a closed port.
// Returns the number of bytes handed to the line.
qint64 SendRequest(SerialPort &port, const QByteArray &message);

// Wraps the request in the STX envelope and writes it with one write.
qint64 SendFramed(SerialPort &port, const QByteArray &request);

// Waits until at least count bytes wait on the port or seconds have passed, and
// returns the last count seen. Waits on the port itself (no spinning, no window
// events); returns at once when the port is closed.
qint64 AwaitBytes(SerialPort &port, qint64 count, double seconds,
                  const MonotonicClock &clock = MonotonicClock::system());

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
    // received so far. It may process window events.
    std::function<void(const QByteArray &received, PacketStep step)> progress;
    // Runs about every IdleSliceMs while the exchange waits for the meter (the
    // closing silence above all); it may process window events, so the window
    // does not freeze. Without it the exchange waits on the port in one piece.
    std::function<void()> idle;
    const MonotonicClock *clock = nullptr; // nullptr: the system clock
    qint64 cap = 0;                        // 0: the 16 MiB download cap
};

// The packet exchange of DIRECTORY_REQUEST and DOWNLOAD_REQUEST: sends the
// request, then takes 67-byte packets, answering a good checksum with ACK and a
// bad one with NAK (a rejected packet leaves the received bytes as they were).
// A partial packet older than 1.5 s is dropped and answered with NAK. The
// exchange ends after 3 s without a packet, on the 21st retry, at the target,
// at the size cap, or when the port closes. The port must have no receive
// handler attached.
PacketResult ReceivePackets(SerialPort &port, const QByteArray &request,
                            const PacketOptions &options = {});

// Adds up a packet's payload bytes (1..64) modulo 256.
quint8 PacketChecksum(const QByteArray &packet);
