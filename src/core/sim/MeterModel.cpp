#include "core/sim/MeterModel.h"

#include "core/data/BoundedRead.h"
#include "core/data/LoggerImage.h"
#include "core/link/MeterLink.h"
#include "core/link/MeterMessages.h"

#include <QFile>
#include <QtEndian>

#include <cmath>

const int MeterModel::IntervalSeconds[14] = {1, 2, 5, 10, 15, 20, 30, 60, 120, 300, 600, 1200, 1800, 3600};

namespace {
// Length of each request by its command letter.
int requestLength(char letter)
{
    switch (letter) {
    case 'M': case 'A': case 'T': case 'I': case 'F': case 'd': case 'D': case 'y': case 'n':
        return 3;
    case 'S': case 'e':
        return 4;
    case 'i':
        return 5;
    case 't':
        return 9;
    default:
        return 0;
    }
}

void putLe16(QByteArray &b, int at, quint16 v)
{
    qToLittleEndian(v, b.data() + at);
}

void putLe32(QByteArray &b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}
} // namespace

MeterModel::MeterModel(quint32 seed)
    : m_random(seed)
    , m_image(erasedImage())
    , m_now([] { return QDateTime::currentDateTime(); })
{
}

bool MeterModel::loadImage(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > Meter::MaxImageBytes)
        return false;
    QByteArray image = readAtMost(f, Meter::MaxImageBytes);
    if (image.size() > Meter::MaxImageBytes)
        return false;
    m_image = image;
    return true;
}

QDateTime MeterModel::loggerTime() const
{
    return m_now().addSecs(m_clockOffsetSecs);
}

QList<MeterModel::Chunk> MeterModel::receive(const QByteArray &bytes)
{
    QList<Chunk> out;
    m_input += bytes;
    while (!m_input.isEmpty()) {
        const char b0 = m_input.at(0);
        QByteArray request;
        if (b0 == '\0') {
            request = m_input.left(1);
        } else if (b0 == Meter::Stx) {
            if (m_input.size() < Meter::FRAMED_LIVE_REQUEST.size())
                break;
            if (m_input.startsWith(Meter::FRAMED_LIVE_REQUEST))
                request = Meter::FRAMED_LIVE_REQUEST;
        } else if (b0 == Meter::StartByte) {
            if (m_input.size() < 2)
                break;
            const int len = requestLength(m_input.at(1));
            if (len > 0 && m_input.size() < len)
                break;
            if (len > 0 && m_input.at(len - 1) == Meter::EndByte)
                request = m_input.left(len);
        }
        if (request.isEmpty()) {
            m_input.remove(0, 1); // not a request: resynchronise on the next byte
            continue;
        }
        m_input.remove(0, request.size());
        const QString name = Meter::requestName(request);
        if (onRequest)
            onRequest(name, request);
        if (!m_hungUp && !m_faults.silent && !m_faults.mute.contains(name))
            handle(name, request, out);
    }
    applyHangUp(out);
    return out;
}

void MeterModel::handle(const QString &name, const QByteArray &r, QList<Chunk> &out)
{
    if (name == QLatin1String("ACK") || name == QLatin1String("NAK")) {
        if (m_transfer == Transfer::None)
            return;
        if (name == QLatin1String("ACK"))
            ++m_packetIndex;
        sendPacket(out);
        return;
    }
    // Any other request ends a transfer in progress.
    m_transfer = Transfer::None;
    if (name == QLatin1String("WAKE_BYTE")) {
        return;
    } else if (name == QLatin1String("IDENTIFY_REQUEST")) {
        out.append({0, Meter::IDENTIFY_REPLY});
    } else if (name == QLatin1String("LIVE_REQUEST") || name == QLatin1String("FRAMED_LIVE_REQUEST")) {
        emitLive(out);
    } else if (name == QLatin1String("CLOCK_REQUEST")) {
        const QDateTime t = loggerTime();
        QByteArray f(Meter::ClockFrameLength, '\0');
        f[0] = Meter::StartByte;
        f[1] = char(t.date().year() % 100);
        f[2] = char(t.date().month());
        f[3] = char(t.date().day());
        f[4] = char(t.time().hour());
        f[5] = char(t.time().minute());
        f[6] = char(t.time().second());
        f[7] = Meter::EndByte;
        out.append({0, f});
    } else if (name == QLatin1String("SET_CLOCK")) {
        const QDate d(2000 + quint8(r.at(2)), quint8(r.at(3)), quint8(r.at(4)));
        const QTime t(quint8(r.at(5)), quint8(r.at(6)), quint8(r.at(7)));
        if (d.isValid() && t.isValid())
            m_clockOffsetSecs = m_now().secsTo(QDateTime(d, t));
        out.append({0, Meter::CONFIRM_REPLY});
    } else if (name == QLatin1String("INTERVAL_REQUEST")) {
        out.append({0, QByteArray{} + Meter::StartByte + char(m_intervalIndex) + Meter::EndByte});
    } else if (name == QLatin1String("SET_INTERVAL")) {
        m_intervalIndex = quint8(r.at(2));
        out.append({0, Meter::CONFIRM_REPLY});
    } else if (name == QLatin1String("SET_UNIT")) {
        m_fahrenheit = r.at(2) != 0;
        out.append({0, Meter::CONFIRM_REPLY});
    } else if (name == QLatin1String("ERASE_REQUEST")) {
        m_image = erasedImage();
        m_reading.memory = 0;
        out.append({0, Meter::CONFIRM_REPLY});
    } else if (name == QLatin1String("DEFAULT_SETUP_REQUEST")) {
        m_image = erasedImage();
        m_reading.memory = 0;
        m_fahrenheit = false;
        m_recording = false;
        m_intervalIndex = 7;
        out.append({0, Meter::CONFIRM_REPLY});
    } else if (name == QLatin1String("DIRECTORY_REQUEST")) {
        startTransfer(Transfer::Directory, out);
    } else if (name == QLatin1String("DOWNLOAD_REQUEST")) {
        startTransfer(Transfer::Download, out);
    }
}

void MeterModel::emitLive(QList<Chunk> &out)
{
    drift();
    QByteArray frame = liveFrame();
    if (m_faults.noise) {
        QByteArray noise;
        for (int i = 0; i < 3; ++i)
            noise += char(m_random.bounded(0, 0xEF)); // never a start byte
        frame.prepend(noise);
    }
    if (m_faults.splitFrames) {
        const qsizetype half = frame.size() - 6;
        out.append({0, frame.left(half)});
        out.append({30, frame.mid(half)});
    } else {
        out.append({0, frame});
    }
}

void MeterModel::drift()
{
    if (m_steady)
        return;
    m_reading.temperatureTenthsC = qBound(150, m_reading.temperatureTenthsC + m_random.bounded(-1, 2), 300);
    m_reading.humidityTenths = qBound(300, m_reading.humidityTenths + m_random.bounded(-2, 3), 700);
}

QByteArray MeterModel::liveFrame() const
{
    const int temperature = m_fahrenheit ? m_reading.temperatureTenthsC * 9 / 5 + 320
                                         : m_reading.temperatureTenthsC;
    quint8 status = 0;
    if (!m_showHumidity)
        status |= m_fahrenheit ? 0x02 : 0x01;
    if (m_recording)
        status |= 0x08;
    return Meter::LIVE_FRAME(qint16(temperature), qint16(m_reading.humidityTenths),
                             quint8(m_reading.battery), quint8(m_reading.memory), status);
}

QByteArray MeterModel::packet(const QByteArray &payload, bool badChecksum)
{
    QByteArray p(Meter::PacketLength, '\0');
    p[0] = Meter::StartByte;
    p.replace(1, qMin<qsizetype>(payload.size(), Meter::PacketPayload), payload.left(Meter::PacketPayload));
    p[Meter::PacketLength - 2] = char(PacketChecksum(p) + (badChecksum ? 1 : 0));
    p[Meter::PacketLength - 1] = Meter::EndByte;
    return p;
}

void MeterModel::startTransfer(Transfer kind, QList<Chunk> &out)
{
    m_transfer = kind;
    m_transferBytes = kind == Transfer::Directory ? m_image.left(Meter::DirectoryBytes) : m_image;
    if (kind == Transfer::Directory && m_transferBytes.size() < Meter::DirectoryBytes)
        m_transferBytes.append(Meter::DirectoryBytes - m_transferBytes.size(), '\0');
    const qsizetype rest = m_transferBytes.size() % Meter::PacketPayload;
    if (rest)
        m_transferBytes.append(Meter::PacketPayload - rest, '\0');
    m_packetIndex = 0;
    sendPacket(out);
}

void MeterModel::sendPacket(QList<Chunk> &out)
{
    const qsizetype at = qsizetype(m_packetIndex) * Meter::PacketPayload;
    if (at >= m_transferBytes.size()) {
        m_transfer = Transfer::None; // all sent: the meter falls silent
        return;
    }
    ++m_packetsSent;
    bool bad = m_faults.badChecksumEvery > 0 && m_packetsSent % m_faults.badChecksumEvery == 0;
    if (m_packetIndex == m_faults.badChecksumPacket && !m_badPacketDone) {
        m_badPacketDone = true;
        bad = true;
    }
    if (m_packetIndex == m_faults.alwaysBadPacket)
        bad = true;
    const QByteArray p = packet(m_transferBytes.mid(at, Meter::PacketPayload), bad);
    if (m_faults.stallAfterPackets >= 0 && !m_stallDone && m_packetsSent > m_faults.stallAfterPackets) {
        m_stallDone = true;
        if (m_faults.stallMidPacket) {
            out.append({0, p.left(Meter::PacketLength / 2)});
            out.append({m_faults.stallMs, p.mid(Meter::PacketLength / 2)});
        } else {
            out.append({m_faults.stallMs, p});
        }
        return;
    }
    out.append({0, p});
}

void MeterModel::applyHangUp(QList<Chunk> &out)
{
    if (m_faults.hangUpAfterBytes < 0 || m_hungUp) {
        for (const Chunk &c : std::as_const(out))
            m_bytesSent += c.bytes.size();
        return;
    }
    for (qsizetype i = 0; i < out.size(); ++i) {
        const qint64 left = m_faults.hangUpAfterBytes - m_bytesSent;
        if (out[i].bytes.size() >= left) {
            out[i].bytes.truncate(left);
            out[i].hangUp = true;
            m_bytesSent += left;
            m_hungUp = true;
            out.resize(i + 1);
            return;
        }
        m_bytesSent += out[i].bytes.size();
    }
}

quint16 MeterModel::intervalCode(int seconds)
{
    switch (seconds) {
    case 300: return 0x002C;
    case 600: return 0x0058;
    case 1200: return 0xFFB0;
    case 1800: return 0x0008;
    case 3600: return 0x0010;
    default: return quint16(seconds);
    }
}

QByteArray MeterModel::erasedImage()
{
    return QByteArray(Meter::DirectoryBytes, '\0');
}

QByteArray MeterModel::buildImage(const QList<DataSet> &sets)
{
    QByteArray image(Meter::DirectoryBytes, '\0');
    quint32 end = Meter::DirectoryBytes;
    for (qsizetype k = 0; k < sets.size() && k < LoggerImage::MaxSets; ++k) {
        const DataSet &s = sets.at(k);
        LoggerImage::TDataSetEntry entry;
        entry.flags = s.fahrenheit ? 0x01 : 0x00;
        entry.intervalCode = intervalCode(s.intervalSeconds);
        entry.year = quint8(s.start.date().year() - 2000);
        entry.month = quint8(s.start.date().month());
        entry.day = quint8(s.start.date().day());
        entry.hour = quint8(s.start.time().hour());
        entry.minute = quint8(s.start.time().minute());
        entry.second = quint8(s.start.time().second());
        QByteArray samples(s.samples.size() * 4, '\0');
        for (qsizetype j = 0; j < s.samples.size(); ++j) {
            putLe16(samples, int(4 * j), quint16(s.samples.at(j).first));
            putLe16(samples, int(4 * j + 2), quint16(s.samples.at(j).second));
        }
        image += samples;
        end += quint32(samples.size());
        entry.endAddress = end;
        entry.write(image, int(k));
    }
    return image;
}

QList<MeterModel::DataSet> MeterModel::generateSets(int sets, int samples, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<DataSet> out;
    const QDateTime first(QDate(2024, 3, 1), QTime(8, 0, 0));
    for (int k = 0; k < qBound(0, sets, 15); ++k) {
        DataSet s;
        s.start = first.addDays(k).addSecs(k * 97);
        s.intervalSeconds = IntervalSeconds[k % 14];
        s.fahrenheit = k % 2 == 1;
        s.samples.reserve(samples);
        for (int j = 0; j < samples; ++j) {
            const double c = 22.0 + 3.0 * std::sin(j / 80.0 + k) + random.bounded(0.2);
            const double t = s.fahrenheit ? c * 9.0 / 5.0 + 32.0 : c;
            const double h = 50.0 + 10.0 * std::sin(j / 50.0 + k) + random.bounded(0.5);
            s.samples.append({qint16(std::lround(h * 10)), qint16(std::lround(t * 10))});
        }
        out.append(s);
    }
    return out;
}

QByteArray MeterModel::generateImage(int sets, int samples, quint32 seed, bool runPastImage)
{
    QByteArray image = buildImage(generateSets(sets, samples, seed));
    if (runPastImage && sets > 0)
        putLe32(image, int(LoggerImage::entryOffset(0)) + LoggerImage::EntryField::EndAddress,
                quint32(image.size() + 256));
    return image;
}
