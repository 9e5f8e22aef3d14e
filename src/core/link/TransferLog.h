#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <deque>

class QIODevice;

// What the program said to the meter and heard back, chunk by chunk, kept in
// memory so that a download that failed or a meter that would not answer can
// be looked at afterwards (the program's "Save Transfer Log...", kv518-cli
// --trace). A chunk is one write of the program, or one read: its port, its
// direction, when it happened, its bytes and the message it belongs to.
//
// Bounded: the last 64 KiB of traffic, and beside it the latest download
// (DOWNLOAD_REQUEST up to the next request that is no ACK or NAK) whole, as
// long as its bytes and their bookkeeping fit in 16 MiB. A longer download
// keeps its beginning there and its end among the last 64 KiB. Every chunk is
// numbered from the start, so a gap in the numbers shows where chunks went.
//
// Recording copies the bytes and reads the clock, nothing more: the hex and
// the text are made only when the log is written out. Used on the thread of
// the ports it records.
class TransferLog
{
public:
    enum class Direction : quint8 { Out, In };

    struct Limits
    {
        qint64 recentBytes = 64 * 1024;             // traffic kept in any case
        qint64 downloadBytes = qint64(16) * 1024 * 1024; // the latest download, bookkeeping included
    };

    // One chunk as it is written out.
    struct Entry
    {
        quint64 number = 0;  // counts every chunk recorded since the start, from 1
        qint64 ms = 0;       // milliseconds since the start
        QString port;        // the device path
        Direction direction = Direction::Out;
        QString message;     // "DATA_PACKET", "NAK", "STRAY_BYTES", ...
        int packet = -1;     // DATA_PACKET, ACK, NAK: the packet's index in its transfer
        QByteArray bytes;
    };

    TransferLog() : TransferLog(Limits{}) {}
    explicit TransferLog(Limits limits);

    // Adds a chunk. message is one of MessageNames (anything else counts as
    // STRAY_BYTES); packet is -1 where no packet is meant.
    void record(const QString &port, Direction direction, QByteArrayView bytes, const QString &message,
                int packet = -1);

    // The chunks kept, oldest first.
    QList<Entry> entries() const;
    // Chunks recorded since the start, kept or not.
    quint64 recorded() const { return m_next - 1; }

    // One JSON object per line and per chunk, oldest first (the format is
    // described in docs/transfer-log.md). Returns false when a write failed.
    bool writeJsonLines(QIODevice &out) const;
    QByteArray toJsonLines() const;

    // Every name a chunk can carry: the requests and replies of the meter
    // link, and STRAY_BYTES for bytes that belong to no message.
    static const QStringList &messageNames();

private:
    // Chunks in recording order with their bytes back to back in one buffer,
    // so that a packet costs no allocation of its own.
    struct Chunk
    {
        qint64 ms;
        quint32 number; // the low bits of the chunk's number; the order survives their wrap
        qint32 packet;
        quint32 size;
        quint16 port;
        quint8 message;
        Direction direction;
    };
    struct Region
    {
        std::deque<Chunk> chunks;
        QByteArray bytes;
        qsizetype head = 0; // bytes of chunks already dropped, removed in bulk
        qint64 kept() const { return bytes.size() - head; }
        void append(const Chunk &chunk, QByteArrayView data);
        void dropFront();
        void clear();
    };

    quint16 portIndex(const QString &port);
    template <typename F>
    void forEach(F &&f) const;

    Limits m_limits;
    QElapsedTimer m_clock;
    QDateTime m_startedAt;
    quint64 m_next = 1;
    QStringList m_ports;
    Region m_recent;
    Region m_download;
    bool m_inDownload = false;
    bool m_downloadFull = false;
};

// What one port has asked for, so that what comes back can be named: the
// reply each request expects, the packet a transfer stands at, and the part
// of a frame that is still to come. A port object keeps one and hands every
// chunk it writes or reads through it to the log.
class TransferChannel
{
public:
    void sent(TransferLog &log, const QString &port, QByteArrayView bytes);
    void received(TransferLog &log, const QString &port, QByteArrayView bytes);
    // The port was (re)opened: nothing is asked for yet.
    void reset();

private:
    QString m_expected;   // the reply awaited; empty: none
    int m_frameLength = 0;
    int m_packet = -1;    // the packet a transfer stands at; -1: no transfer
    QByteArray m_partial; // the start of a frame not yet complete
};
