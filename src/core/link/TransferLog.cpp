#include "core/link/TransferLog.h"

#include "core/link/MeterMessages.h"

#include <QBuffer>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QString Stray = QStringLiteral("STRAY_BYTES");
const QString DataPacket = QStringLiteral("DATA_PACKET");

// The reply a request waits for, and its length.
struct Expected
{
    const char *request;
    const char *reply;
    int length;
};

constexpr Expected Replies[] = {
    {"IDENTIFY_REQUEST", "IDENTIFY_REPLY", Meter::IdentifyReplyLength},
    {"LIVE_REQUEST", "LIVE_FRAME", Meter::LiveFrameLength},
    {"FRAMED_LIVE_REQUEST", "LIVE_FRAME", Meter::LiveFrameLength},
    {"CLOCK_REQUEST", "CLOCK_FRAME", Meter::ClockFrameLength},
    {"INTERVAL_REQUEST", "INTERVAL_REPLY", Meter::ShortReplyLength},
    {"SET_CLOCK", "CONFIRM_REPLY", Meter::ShortReplyLength},
    {"SET_INTERVAL", "CONFIRM_REPLY", Meter::ShortReplyLength},
    {"SET_UNIT", "CONFIRM_REPLY", Meter::ShortReplyLength},
    {"ERASE_REQUEST", "CONFIRM_REPLY", Meter::ShortReplyLength},
    {"DEFAULT_SETUP_REQUEST", "CONFIRM_REPLY", Meter::ShortReplyLength},
};

int messageIndex(const QString &name)
{
    const qsizetype i = TransferLog::messageNames().indexOf(name);
    return i < 0 ? 0 : int(i);
}

// A JSON string with its quotes, escaped as QJsonDocument escapes it.
QByteArray jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

const QStringList &TransferLog::messageNames()
{
    // STRAY_BYTES first: the index 0 of a chunk whose name is unknown.
    static const QStringList names = {
        Stray,
        QStringLiteral("IDENTIFY_REQUEST"), QStringLiteral("IDENTIFY_REPLY"),
        QStringLiteral("LIVE_REQUEST"), QStringLiteral("FRAMED_LIVE_REQUEST"), QStringLiteral("WAKE_BYTE"),
        QStringLiteral("LIVE_FRAME"),
        QStringLiteral("CLOCK_REQUEST"), QStringLiteral("CLOCK_FRAME"), QStringLiteral("SET_CLOCK"),
        QStringLiteral("INTERVAL_REQUEST"), QStringLiteral("INTERVAL_REPLY"), QStringLiteral("SET_INTERVAL"),
        QStringLiteral("SET_UNIT"), QStringLiteral("ERASE_REQUEST"), QStringLiteral("DEFAULT_SETUP_REQUEST"),
        QStringLiteral("CONFIRM_REPLY"),
        QStringLiteral("DIRECTORY_REQUEST"), QStringLiteral("DOWNLOAD_REQUEST"), DataPacket,
        QStringLiteral("ACK"), QStringLiteral("NAK"),
    };
    return names;
}

TransferLog::TransferLog(Limits limits)
    : m_limits(limits)
{
    m_clock.start();
    // A fixed offset: every line's time is then a sum, without a time zone
    // lookup per line.
    const QDateTime now = QDateTime::currentDateTime();
    m_startedAt = now.toOffsetFromUtc(now.offsetFromUtc());
}

void TransferLog::Region::append(const Chunk &chunk, QByteArrayView data)
{
    chunks.push_back(chunk);
    bytes.append(data);
}

void TransferLog::Region::dropFront()
{
    head += chunks.front().size;
    chunks.pop_front();
    // Dropped bytes leave the buffer in bulk, so each byte is moved once.
    if (head > 4096 && head > bytes.size() / 2) {
        bytes.remove(0, head);
        head = 0;
    }
}

void TransferLog::Region::clear()
{
    chunks.clear();
    bytes.clear();
    head = 0;
}

quint16 TransferLog::portIndex(const QString &port)
{
    for (qsizetype i = m_ports.size() - 1; i >= 0; --i) {
        if (m_ports.at(i) == port)
            return quint16(i);
    }
    if (m_ports.size() >= 0xFFFF)
        return 0xFFFF;
    m_ports.append(port);
    return quint16(m_ports.size() - 1);
}

void TransferLog::record(const QString &port, Direction direction, QByteArrayView bytes, const QString &message,
                         int packet)
{
    const int kind = messageIndex(message);
    const Chunk chunk{m_clock.elapsed(), quint32(m_next++), qint32(packet), quint32(bytes.size()), portIndex(port),
                      quint8(kind), direction};
    if (direction == Direction::Out) {
        const QString &name = messageNames().at(kind);
        if (name == QLatin1String("DOWNLOAD_REQUEST")) {
            m_download.clear();
            m_inDownload = true;
            m_downloadFull = false;
        } else if (name != QLatin1String("ACK") && name != QLatin1String("NAK")) {
            m_inDownload = false;
        }
    }
    if (m_inDownload && !m_downloadFull) {
        const qint64 used = m_download.kept() + qint64(m_download.chunks.size() + 1) * qint64(sizeof(Chunk));
        if (used + bytes.size() <= m_limits.downloadBytes)
            m_download.append(chunk, bytes);
        else
            m_downloadFull = true;
    }
    m_recent.append(chunk, bytes);
    while (m_recent.kept() > m_limits.recentBytes && m_recent.chunks.size() > 1)
        m_recent.dropFront();
}

template <typename F>
void TransferLog::forEach(F &&f) const
{
    // Both regions are in recording order; a chunk of the download that is
    // also among the recent ones comes out once.
    size_t i = 0;
    size_t j = 0;
    qsizetype atRecent = m_recent.head;
    qsizetype atDownload = m_download.head;
    while (i < m_recent.chunks.size() || j < m_download.chunks.size()) {
        bool fromDownload = i >= m_recent.chunks.size();
        if (!fromDownload && j < m_download.chunks.size()) {
            const qint32 order = qint32(m_download.chunks[j].number - m_recent.chunks[i].number);
            if (order == 0) {
                atDownload += m_download.chunks[j].size;
                ++j;
                continue;
            }
            fromDownload = order < 0;
        }
        const Region &region = fromDownload ? m_download : m_recent;
        const Chunk &chunk = fromDownload ? m_download.chunks[j++] : m_recent.chunks[i++];
        qsizetype &at = fromDownload ? atDownload : atRecent;
        f(chunk, QByteArrayView(region.bytes.constData() + at, chunk.size));
        at += chunk.size;
    }
}

QList<TransferLog::Entry> TransferLog::entries() const
{
    const quint64 last = m_next - 1;
    QList<Entry> out;
    forEach([&](const Chunk &c, QByteArrayView bytes) {
        out.append({last - quint32(quint32(last) - c.number), c.ms, m_ports.value(c.port), c.direction,
                    messageNames().at(c.message), c.packet, bytes.toByteArray()});
    });
    return out;
}

bool TransferLog::writeJsonLines(QIODevice &out) const
{
    QList<QByteArray> ports;
    for (const QString &port : m_ports)
        ports.append(jsonString(port));
    const quint64 last = m_next - 1;
    constexpr qsizetype Block = 64 * 1024;
    QByteArray line;
    line.reserve(Block + 1024);
    bool ok = true;
    const auto flush = [&] {
        ok = out.write(line) == line.size() && ok;
        line.clear();
    };
    forEach([&](const Chunk &c, QByteArrayView bytes) {
        line += "{\"n\":";
        line += QByteArray::number(last - quint32(quint32(last) - c.number));
        line += ",\"ms\":";
        line += QByteArray::number(c.ms);
        line += ",\"time\":\"";
        line += m_startedAt.addMSecs(c.ms).toString(Qt::ISODateWithMs).toLatin1();
        line += "\",\"port\":";
        line += ports.value(c.port, QByteArrayLiteral("\"\""));
        line += c.direction == Direction::In ? ",\"dir\":\"in\",\"msg\":\"" : ",\"dir\":\"out\",\"msg\":\"";
        line += messageNames().at(c.message).toLatin1();
        line += '"';
        if (c.packet >= 0) {
            line += ",\"packet\":";
            line += QByteArray::number(c.packet);
        }
        line += ",\"hex\":\"";
        line += QByteArray::fromRawData(bytes.data(), bytes.size()).toHex();
        line += "\"}\n";
        if (line.size() >= Block)
            flush();
    });
    if (!line.isEmpty())
        flush();
    return ok;
}

QByteArray TransferLog::toJsonLines() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeJsonLines(buffer);
    return bytes;
}

void TransferChannel::reset()
{
    m_expected.clear();
    m_frameLength = 0;
    m_packet = -1;
    m_partial.clear();
}

void TransferChannel::sent(TransferLog &log, const QString &port, QByteArrayView bytes)
{
    const QString name = Meter::requestName(bytes.toByteArray());
    int packet = -1;
    if (name == QLatin1String("DOWNLOAD_REQUEST") || name == QLatin1String("DIRECTORY_REQUEST")) {
        m_expected = DataPacket;
        m_packet = 0;
        m_partial.clear();
    } else if (name == QLatin1String("ACK") || name == QLatin1String("NAK")) {
        // The answer names the packet it answers; after an ACK the next one comes.
        packet = m_packet;
        if (m_packet >= 0 && name == QLatin1String("ACK"))
            ++m_packet;
    } else if (!name.isEmpty() && name != QLatin1String("WAKE_BYTE")) {
        m_packet = -1;
        QString reply;
        int length = 0;
        for (const Expected &e : Replies) {
            if (name == QLatin1String(e.request)) {
                reply = QString::fromLatin1(e.reply);
                length = e.length;
            }
        }
        if (reply != m_expected)
            m_partial.clear();
        m_expected = reply;
        m_frameLength = length;
    }
    log.record(port, TransferLog::Direction::Out, bytes, name.isEmpty() ? Stray : name, packet);
}

void TransferChannel::received(TransferLog &log, const QString &port, QByteArrayView bytes)
{
    if (m_packet >= 0) {
        // The packet exchange takes nothing shorter than a packet, except a
        // piece that came too late, which it drops.
        if (bytes.size() >= Meter::PacketLength)
            log.record(port, TransferLog::Direction::In, bytes, DataPacket, m_packet);
        else
            log.record(port, TransferLog::Direction::In, bytes, Stray);
        return;
    }
    if (m_expected.isEmpty() || m_frameLength < 2) {
        log.record(port, TransferLog::Direction::In, bytes, Stray);
        return;
    }
    // The frame rule of the receivers: a start byte, and the end byte at the
    // frame's last position. A chunk belongs to the reply when it completes a
    // frame or may be the beginning of one.
    const qsizetype fresh = m_partial.size();
    m_partial += bytes;
    const qsizetype length = m_frameLength;
    bool belongs = false;
    qsizetype pos = 0;
    while (m_partial.size() - pos >= length) {
        const qsizetype start = m_partial.indexOf(Meter::StartByte, pos);
        if (start < 0) {
            pos = m_partial.size();
            break;
        }
        if (start > pos) {
            pos = start;
            continue;
        }
        if (m_partial.at(pos + length - 1) == Meter::EndByte) {
            belongs = belongs || pos + length > fresh;
            pos += length;
        } else {
            ++pos;
        }
    }
    const qsizetype start = m_partial.indexOf(Meter::StartByte, pos);
    if (start < 0) {
        m_partial.clear();
    } else {
        m_partial.remove(0, start);
        belongs = true;
    }
    log.record(port, TransferLog::Direction::In, bytes, belongs ? m_expected : Stray);
}
