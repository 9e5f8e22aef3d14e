#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <array>

// What the meter's LCD shows, decoded from one LIVE_FRAME. Bit k of
// IndicatorMask lights the mirror symbol tagged k + 1.
namespace LcdBit {
constexpr int MemoryBar0 = 0;   // memory bars 0..7, bottom to top
constexpr int Memory = 8;       // MEM label
constexpr int Minus = 9;
constexpr int Interval = 10;    // INTV: the live frame never lights it
constexpr int Recording = 11;
constexpr int DecimalPoint = 12;
constexpr int Celsius = 13;
constexpr int Fahrenheit = 14;
constexpr int BatteryOutline = 15;
constexpr int BatteryBar4 = 16; // battery bars 4..0, leftmost first; bar 0 is bit 20
constexpr int Count = 21;
}

// Glyph indices of the digit windows: 0..9 are digits, 11 is blank.
constexpr quint8 kBlankGlyph = 11;

struct LiveDisplayState
{
    quint32 IndicatorMask = 0;
    // Positions 3..6 are the four digit windows (hundreds, tens, units, tenths);
    // position 2 holds the thousands digit, which the LCD has no window for.
    std::array<quint8, 7> DigitCodes{kBlankGlyph, kBlankGlyph, kBlankGlyph, kBlankGlyph,
                                     kBlankGlyph, kBlankGlyph, kBlankGlyph};
    bool UnitIsCelsius = false;
    bool LoggerRecording = false;

    bool lit(int bit) const { return (IndicatorMask >> bit) & 1u; }
    friend bool operator==(const LiveDisplayState &, const LiveDisplayState &) = default;
};

enum class LiveUnit { None, Celsius, Fahrenheit };

// The readings a live frame carries, for the command-line tool.
struct LiveReading
{
    double temperature = 0.0; // in the unit the meter shows (or last showed)
    double humidity = 0.0;    // %RH
    LiveUnit unit = LiveUnit::None; // None: the meter shows the humidity
    int battery = 0;          // bars, 0..5
    int memory = 0;           // bars, 0..8
    bool recording = false;
};

// Decodes one 10-byte live frame (0xEF, d0..d7, 0xFE) on top of the previous
// state: the unit flag keeps its value when the meter shows the humidity, and
// DigitCodes position 0 is never written. A frame of another length leaves the
// state as it was.
LiveDisplayState decodeLiveFrame(QByteArrayView frame, const LiveDisplayState &previous = {});

LiveReading readLiveFrame(QByteArrayView frame);

// "C", "F" or "" for the unit of a reading.
QString unitText(LiveUnit unit);

// The six characters the LCD shows: minus or blank, hundreds, tens, units,
// ".", tenths; blank digits are spaces. For example "  23.5" or "- 50.0".
QString lcdText(const LiveDisplayState &state);
