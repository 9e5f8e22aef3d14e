#include "core/link/MeterMessages.h"

namespace Meter {

namespace {
QByteArray envelope(char letter, std::initializer_list<int> args)
{
    QByteArray out;
    out.reserve(int(args.size()) + 3);
    out += StartByte;
    out += letter;
    for (int a : args)
        out += char(quint8(a));
    out += EndByte;
    return out;
}
} // namespace

QByteArray SET_CLOCK(const QDateTime &localTime)
{
    const QDate d = localTime.date();
    const QTime t = localTime.time();
    return envelope('t', {d.year() % 100, d.month(), d.day(), t.hour(), t.minute(), t.second()});
}

QByteArray SET_INTERVAL(int index)
{
    return envelope('i', {index, 0});
}

QByteArray SET_UNIT(bool fahrenheit)
{
    return envelope('S', {fahrenheit ? 1 : 0});
}

QByteArray LIVE_FRAME(qint16 temperatureTenths, qint16 humidityTenths, quint8 battery,
                      quint8 memory, quint8 status)
{
    QByteArray f(LiveFrameLength, '\0');
    f[0] = StartByte;
    f[1] = char(quint16(temperatureTenths) & 0xFF);
    f[2] = char(quint16(temperatureTenths) >> 8);
    f[3] = char(quint16(humidityTenths) & 0xFF);
    f[4] = char(quint16(humidityTenths) >> 8);
    f[5] = char(battery);
    f[6] = char(memory);
    f[7] = char(status);
    f[9] = EndByte;
    return f;
}

QByteArray stxEnvelope(const QByteArray &request)
{
    // The payload is what lies between the request's start and end bytes.
    QByteArray payload = request;
    if (payload.startsWith(StartByte))
        payload.remove(0, 1);
    if (payload.endsWith(EndByte))
        payload.chop(1);
    quint8 sum = 0;
    for (char c : payload)
        sum = quint8(sum + quint8(c));
    QByteArray out;
    out.reserve(payload.size() + 3);
    out += Stx;
    out += payload;
    out += char(sum | 0x80);
    out += Etx;
    return out;
}

QString requestName(const QByteArray &r)
{
    static const std::pair<const QByteArray *, const char *> fixed[] = {
        {&IDENTIFY_REQUEST, "IDENTIFY_REQUEST"}, {&LIVE_REQUEST, "LIVE_REQUEST"},
        {&FRAMED_LIVE_REQUEST, "FRAMED_LIVE_REQUEST"}, {&WAKE_BYTE, "WAKE_BYTE"},
        {&CLOCK_REQUEST, "CLOCK_REQUEST"}, {&INTERVAL_REQUEST, "INTERVAL_REQUEST"},
        {&DEFAULT_SETUP_REQUEST, "DEFAULT_SETUP_REQUEST"}, {&DIRECTORY_REQUEST, "DIRECTORY_REQUEST"},
        {&DOWNLOAD_REQUEST, "DOWNLOAD_REQUEST"}, {&ACK, "ACK"}, {&NAK, "NAK"},
    };
    for (const auto &[bytes, name] : fixed) {
        if (r == *bytes)
            return QString::fromLatin1(name);
    }
    if (r.size() < 3 || r.front() != StartByte || r.back() != EndByte)
        return {};
    switch (r.at(1)) {
    case 't': return r.size() == 9 ? QStringLiteral("SET_CLOCK") : QString();
    case 'i': return r.size() == 5 ? QStringLiteral("SET_INTERVAL") : QString();
    case 'S': return r.size() == 4 ? QStringLiteral("SET_UNIT") : QString();
    case 'e': return r.size() == 4 ? QStringLiteral("ERASE_REQUEST") : QString();
    default: return {};
    }
}

bool isPlausibleLiveFrame(QByteArrayView frame)
{
    if (frame.size() != LiveFrameLength)
        return false;
    const auto byte = [frame](int i) { return quint8(frame[1 + i]); };
    const auto word = [&byte](int low) { return int(qint16(byte(low) | (byte(low + 1) << 8))); };
    constexpr quint8 Celsius = 0x01;
    constexpr quint8 Fahrenheit = 0x02;
    constexpr quint8 Recording = 0x08;
    constexpr int MaxTenths = 9999;
    const quint8 status = byte(6);
    const int temperature = word(0);
    const int humidity = word(2);
    return byte(4) <= 5 && byte(5) <= 8 && (status & ~(Celsius | Fahrenheit | Recording)) == 0
        && (status & (Celsius | Fahrenheit)) != (Celsius | Fahrenheit) && temperature >= -MaxTenths
        && temperature <= MaxTenths && humidity >= 0 && humidity <= 1000;
}

} // namespace Meter
