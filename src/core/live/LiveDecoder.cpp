#include "core/live/LiveDecoder.h"

#include "core/link/MeterMessages.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kMaxBatteryBars = 5;
constexpr int kMaxMemoryBars = 8;

constexpr quint8 kStatusCelsius = 0x01;
constexpr quint8 kStatusFahrenheit = 0x02;
constexpr quint8 kStatusRecording = 0x08;

quint8 dataByte(QByteArrayView frame, int i)
{
    return static_cast<quint8>(frame[1 + i]);
}

qint16 dataWord(QByteArrayView frame, int low)
{
    return static_cast<qint16>(dataByte(frame, low) | (dataByte(frame, low + 1) << 8));
}

// The meter sends bar counts as signed bytes; anything outside the bar graph
// would light unrelated symbols, so it is clamped to the graph.
int barCount(quint8 raw, int max)
{
    return std::clamp<int>(static_cast<qint8>(raw), 0, max);
}

} // namespace

LiveDisplayState decodeLiveFrame(QByteArrayView frame, const LiveDisplayState &previous)
{
    LiveDisplayState s = previous;
    if (frame.size() != Meter::LiveFrameLength)
        return s;

    s.IndicatorMask = (1u << LcdBit::Memory) | (1u << LcdBit::DecimalPoint)
                      | (1u << LcdBit::BatteryOutline);

    for (int k = barCount(dataByte(frame, 4), kMaxBatteryBars); k >= 1; --k)
        s.IndicatorMask |= 1u << (21 - k);
    for (int k = barCount(dataByte(frame, 5), kMaxMemoryBars); k >= 1; --k)
        s.IndicatorMask |= 1u << (k - 1);

    const quint8 status = dataByte(frame, 6);
    if (status & kStatusCelsius) {
        s.UnitIsCelsius = true;
        s.IndicatorMask |= 1u << LcdBit::Celsius;
    }
    if (status & kStatusFahrenheit) {
        s.UnitIsCelsius = false;
        s.IndicatorMask |= 1u << LcdBit::Fahrenheit;
    }
    s.LoggerRecording = status & kStatusRecording;
    if (s.LoggerRecording)
        s.IndicatorMask |= 1u << LcdBit::Recording;

    const bool showsTemperature = status & (kStatusCelsius | kStatusFahrenheit);
    // 32-bit magnitude: -32768 shows as 2768 with the minus sign, the thousands
    // digit being dropped as for any value of 1000.0 or more.
    qint32 v = showsTemperature ? dataWord(frame, 0) : dataWord(frame, 2);
    if (v < 0) {
        s.IndicatorMask |= 1u << LcdBit::Minus;
        v = -v;
    }

    char text[16];
    std::snprintf(text, sizeof text, "%+.5d", static_cast<int>(v));
    for (int i = 0; i < 6; ++i)
        s.DigitCodes[1 + i] = static_cast<quint8>(text[i] & 0x0F);

    if (s.DigitCodes[3] == 0) {
        s.DigitCodes[3] = kBlankGlyph;
        if (s.DigitCodes[4] == 0)
            s.DigitCodes[4] = kBlankGlyph;
    }
    return s;
}

LiveReading readLiveFrame(QByteArrayView frame)
{
    LiveReading r;
    if (frame.size() != Meter::LiveFrameLength)
        return r;
    r.temperature = dataWord(frame, 0) / 10.0;
    r.humidity = dataWord(frame, 2) / 10.0;
    r.battery = barCount(dataByte(frame, 4), kMaxBatteryBars);
    r.memory = barCount(dataByte(frame, 5), kMaxMemoryBars);
    const quint8 status = dataByte(frame, 6);
    // Fahrenheit wins when both unit bits are set, as it does for UnitIsCelsius.
    if (status & kStatusFahrenheit)
        r.unit = LiveUnit::Fahrenheit;
    else if (status & kStatusCelsius)
        r.unit = LiveUnit::Celsius;
    r.recording = status & kStatusRecording;
    return r;
}

QString unitText(LiveUnit unit)
{
    switch (unit) {
    case LiveUnit::Celsius:
        return QStringLiteral("C");
    case LiveUnit::Fahrenheit:
        return QStringLiteral("F");
    case LiveUnit::None:
        break;
    }
    return QString();
}

namespace {
QChar glyphChar(quint8 code)
{
    if (code <= 9)
        return QChar(u'0' + code);
    if (code == 10)
        return u'-';
    if (code == 13)
        return u'L';
    return u' ';
}
} // namespace

QString lcdText(const LiveDisplayState &state)
{
    QString text;
    text += state.lit(LcdBit::Minus) ? u'-' : u' ';
    text += glyphChar(state.DigitCodes[3]);
    text += glyphChar(state.DigitCodes[4]);
    text += glyphChar(state.DigitCodes[5]);
    text += u'.';
    text += glyphChar(state.DigitCodes[6]);
    return text;
}
