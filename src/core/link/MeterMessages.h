#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

// Every message the PC and the meter exchange, byte for byte, and the timing
// rules of the meter dialogues. Requests are 0xEF, a command letter, fixed
// arguments and 0xFE; replies use the same start and end bytes with a fixed
// length each. Nothing else in the program spells these bytes out.
namespace Meter {

// Envelope bytes.
inline constexpr char StartByte = char(0xEF);
inline constexpr char EndByte = char(0xFE);
inline constexpr char Stx = char(0x02);
inline constexpr char Etx = char(0x03);

// PC to meter.
inline const QByteArray IDENTIFY_REQUEST = QByteArray::fromHex("ef4dfe");      // "M"
inline const QByteArray LIVE_REQUEST = QByteArray::fromHex("ef41fe");          // "A"
inline const QByteArray FRAMED_LIVE_REQUEST = QByteArray::fromHex("0241c103"); // "A" in STX envelope
inline const QByteArray WAKE_BYTE = QByteArray(1, '\0');
inline const QByteArray CLOCK_REQUEST = QByteArray::fromHex("ef54fe");         // "T"
inline const QByteArray INTERVAL_REQUEST = QByteArray::fromHex("ef49fe");      // "I"
inline const QByteArray ERASE_REQUEST = QByteArray::fromHex("ef6500fe");       // "e", third byte 0
inline const QByteArray DEFAULT_SETUP_REQUEST = QByteArray::fromHex("ef46fe"); // "F"
inline const QByteArray DIRECTORY_REQUEST = QByteArray::fromHex("ef64fe");     // "d"
inline const QByteArray DOWNLOAD_REQUEST = QByteArray::fromHex("ef44fe");      // "D"
inline const QByteArray ACK = QByteArray::fromHex("ef79fe");                   // "y"
inline const QByteArray NAK = QByteArray::fromHex("ef6efe");                   // "n"

// Meter to PC.
inline const QByteArray IDENTIFY_REPLY = QByteArray::fromHex("ef353138fe");    // "518"
inline const QByteArray CONFIRM_REPLY = QByteArray::fromHex("ef59fe");         // "Y"

// SET_CLOCK ("t"): EF 74 yy mm dd hh nn ss FE, each field the plain number.
QByteArray SET_CLOCK(const QDateTime &localTime);
// SET_INTERVAL ("i"): EF 69 idx 00 FE; idx into the interval list (0..13).
QByteArray SET_INTERVAL(int index);
// SET_UNIT ("S"): EF 53 u FE; u = 0 Celsius, 1 Fahrenheit.
QByteArray SET_UNIT(bool fahrenheit);
// LIVE_FRAME: EF, temperature and humidity in tenths (signed, little-endian),
// battery bars, memory bars, status bits, an unused byte, FE.
QByteArray LIVE_FRAME(qint16 temperatureTenths, qint16 humidityTenths, quint8 battery,
                      quint8 memory, quint8 status);
// The STX envelope around a request's inner bytes: 02, payload, (sum | 0x80), 03.
QByteArray stxEnvelope(const QByteArray &request);

// Fixed lengths.
inline constexpr int LiveFrameLength = 10;      // LIVE_FRAME
inline constexpr int ClockFrameLength = 8;      // CLOCK_FRAME
inline constexpr int IdentifyReplyLength = 5;
inline constexpr int ShortReplyLength = 3;      // CONFIRM_REPLY, INTERVAL_REPLY
inline constexpr int LiveReadCap = 256;         // bytes taken per live receive event
inline constexpr int ClockReadCap = 32;         // bytes taken per clock receive event
inline constexpr int ReplyReadCap = 256;        // bytes taken when reading a polled reply
inline constexpr int PacketLength = 67;         // DATA_PACKET: lead, 64 payload, checksum, trail
inline constexpr int PacketPayload = 64;
inline constexpr int DirectoryBytes = 320;      // what DIRECTORY_REQUEST brings
inline constexpr int DirectoryKnownBytes = 256; // the download knows its total from here on
inline constexpr int IntervalCount = 14;        // interval list indices 0..13

// Timing rules (milliseconds).
inline constexpr int ShortReplyTimeoutMs = 2000;   // SET_CLOCK, SET_UNIT, SET_INTERVAL, INTERVAL_REQUEST
inline constexpr int IdentifyTimeoutMs = 3000;     // IDENTIFY_REQUEST, DEFAULT_SETUP_REQUEST
inline constexpr int EraseTimeoutMs = 5000;        // ERASE_REQUEST
inline constexpr int PacketSilenceMs = 3000;       // the packet exchange ends after this without a packet
inline constexpr int StalePacketMs = 1500;         // a partial packet older than this is dropped
inline constexpr int IdleSliceMs = 100;            // longest wait on the port between idle calls
inline constexpr int MaxPacketRetries = 20;        // the 21st retry ends the exchange
// No logger holds more: the download stops here and a longer collection file is refused.
inline constexpr qint64 MaxImageBytes = qint64(16) * 1024 * 1024;
inline constexpr int PollIntervalMs = 500;         // MainTimer
inline constexpr int MissedPollLimit = 3;          // silent ticks before the connection is lost
inline constexpr int SearchReplyDelayMs = 500;     // identification wait at the start-up search
inline constexpr int WakeDelayMs = 200;            // after WAKE_BYTE
inline constexpr int ReceiveSettleMs = 10;         // lets the rest of a live frame arrive
inline constexpr int QuietWaitMs = 3000;           // longest wait for the poll and receive handlers
inline constexpr int QuietCheckMs = 10;            // how often the quiet-moment wait looks again
// The device changing hands between the live port and a download or setup port.
inline constexpr int HandOverCloseMs = 200;        // Comm1 closed, before the other port is named
inline constexpr int HandOverOpenMs = 300;         // named, before the other port opens
inline constexpr int HandBackMs = 300;             // the other port closed, before Comm1 opens again
inline constexpr int HandBackSettleMs = 200;       // after the setup: Comm1 open, before MainTimer starts
inline constexpr int BaudRate = 19200;

// Whether a reply to IDENTIFY_REQUEST names this meter: "518" anywhere among
// its bytes, so that a leading noise byte still matches.
inline bool isIdentifyReply(QByteArrayView reply)
{
    return reply.contains(QByteArrayView("518"));
}

// Whether a LIVE_FRAME holds what the meter can show: battery and memory bar
// counts within their graphs, no unused status bit, at most one unit, a
// humidity of 0 to 100 % and a temperature the four digit windows hold (at
// most 999.9). Line noise that puts a start and an end byte nine bytes apart
// seldom does.
bool isPlausibleLiveFrame(QByteArrayView frame);

// The name of a request as the meter would recognise it ("ACK", "LIVE_REQUEST",
// ...), empty for bytes that are no whole request.
QString requestName(const QByteArray &request);

} // namespace Meter
