#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <functional>

// Faults the model can be told to show, all deterministic.
struct MeterFaults {
    int badChecksumEvery = 0;     // every Nth packet sent carries a wrong checksum (0: never)
    int badChecksumPacket = -1;   // packet k is sent once with a wrong checksum, its resend is good
    int alwaysBadPacket = -1;     // packet k carries a wrong checksum at every sending: never accepted
    int stallAfterPackets = -1;   // after this many packets sent, the next one is held back...
    int stallMs = 0;              // ...for this long
    bool stallMidPacket = false;  // the held-back packet's first half goes out before the stall
    qint64 hangUpAfterBytes = -1; // the line goes dead after this many bytes sent
    bool noise = false;           // three stray bytes before every live frame
    bool splitFrames = false;     // live frames come in two pieces, 30 ms apart
    bool silent = false;          // no answer at all
    QStringList mute;             // requests, by name ("SET_UNIT"), that get no answer
};

// What the meter would answer to the PC, as a pure function of the requests it
// receives: no port, no timer. The driver (kv518-sim on a pseudo-terminal, the
// demo meter on an in-memory line) sends the chunks in order, each one
// delayMs after the previous one went out.
class MeterModel
{
public:
    struct Chunk {
        int delayMs = 0;
        QByteArray bytes;
        bool hangUp = false; // the line goes dead here (after bytes)
    };

    struct Reading {
        int temperatureTenthsC = 235; // what the sensor reads, in tenths of a degree Celsius
        int humidityTenths = 551;     // tenths of a percent
        int battery = 4;              // bars, 0..5
        int memory = 2;               // bars, 0..8
    };

    explicit MeterModel(quint32 seed = 1);

    // Feeds bytes from the PC (any split); returns the answers they cause.
    QList<Chunk> receive(const QByteArray &bytes);
    // Called for every request recognised, with its name ("ACK") and bytes.
    std::function<void(const QString &name, const QByteArray &bytes)> onRequest;

    // The logger memory: the bytes a download sends (padded to whole packets).
    void setImage(const QByteArray &image) { m_image = image; }
    QByteArray image() const { return m_image; }
    bool loadImage(const QString &path);

    void setFaults(const MeterFaults &faults) { m_faults = faults; }
    MeterFaults faults() const { return m_faults; }

    Reading reading() const { return m_reading; }
    void setReading(const Reading &r) { m_reading = r; }
    bool fahrenheit() const { return m_fahrenheit; }
    void setFahrenheit(bool on) { m_fahrenheit = on; }
    bool showHumidity() const { return m_showHumidity; }
    void setShowHumidity(bool on) { m_showHumidity = on; }
    bool recording() const { return m_recording; }
    void setRecording(bool on) { m_recording = on; }
    int intervalIndex() const { return m_intervalIndex; }
    void setIntervalIndex(int index) { m_intervalIndex = index; }
    // The PC time the logger clock is kept against (tests fix it).
    void setTimeSource(std::function<QDateTime()> now) { m_now = std::move(now); }
    QDateTime loggerTime() const;
    // Sets the logger's clock, which then runs on from there.
    void setLoggerTime(const QDateTime &t) { m_clockOffsetSecs = m_now().secsTo(t); }

    // A steady meter reads exactly what setReading() set: no drift.
    void setSteady(bool on) { m_steady = on; }
    // The frame for the current reading (no fault applied), and the reading's drift.
    QByteArray liveFrame() const;
    void drift();

    // A DATA_PACKET: lead byte, 64 payload bytes, checksum, trailing byte.
    static QByteArray packet(const QByteArray &payload, bool badChecksum = false);

    // Memory images in the logger's layout: header, 15 directory entries at
    // 16 + 16k, samples of 4 bytes from 320 on.
    struct DataSet {
        QDateTime start;
        int intervalSeconds = 60;
        bool fahrenheit = false;
        QList<std::pair<qint16, qint16>> samples; // humidity, temperature in tenths
    };
    static QByteArray buildImage(const QList<DataSet> &sets);
    // sets data sets of samples readings each, from a seeded generator. With
    // runPastImage the first set's end address lies beyond the image.
    static QList<DataSet> generateSets(int sets, int samples, quint32 seed = 1);
    static QByteArray generateImage(int sets, int samples, quint32 seed = 1, bool runPastImage = false);
    // The interval code the logger stores for an interval in seconds.
    static quint16 intervalCode(int seconds);
    static const int IntervalSeconds[14];
    // An empty memory: header and a directory without entries.
    static QByteArray erasedImage();

private:
    enum class Transfer { None, Directory, Download };

    void handle(const QString &name, const QByteArray &request, QList<Chunk> &out);
    void startTransfer(Transfer kind, QList<Chunk> &out);
    void sendPacket(QList<Chunk> &out);
    void emitLive(QList<Chunk> &out);
    void applyHangUp(QList<Chunk> &out);

    QRandomGenerator m_random;
    MeterFaults m_faults;
    QByteArray m_input;
    QByteArray m_image;
    Reading m_reading;
    bool m_fahrenheit = false;
    bool m_showHumidity = false;
    bool m_recording = false;
    bool m_steady = false;
    int m_intervalIndex = 7;
    qint64 m_clockOffsetSecs = 0;
    std::function<QDateTime()> m_now;

    Transfer m_transfer = Transfer::None;
    QByteArray m_transferBytes;
    int m_packetIndex = 0;
    int m_packetsSent = 0;
    bool m_badPacketDone = false;
    bool m_stallDone = false;
    qint64 m_bytesSent = 0;
    bool m_hungUp = false;
};
