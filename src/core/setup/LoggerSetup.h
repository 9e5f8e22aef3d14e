#pragma once

#include "core/link/MeterLink.h"
#include "core/link/MonotonicClock.h"
#include "core/link/SerialPort.h"
#include "core/setup/ReplyExchange.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <functional>
#include <optional>

// The logger's setup exchanges on one port, shared by the setup window and
// kv518-cli setup: each sends its request, waits for the answer by the
// meter's rules (its byte count or its time limit) and hands over what came.
// One exchange at a time; every one returns at once and ends through its
// callback from the event loop. The port must be open with no other receive
// handler while an exchange runs.
class LoggerSetup : public QObject
{
    Q_OBJECT
public:
    using ReplyDone = std::function<void(const QByteArray &reply)>;

    explicit LoggerSetup(SerialPort &port, const MonotonicClock &clock = MonotonicClock::system(),
                         QObject *parent = nullptr);

    // How a default setup ended.
    enum class DefaultSetup { Loaded, NoIdentity, NotConfirmed };

    // DIRECTORY_REQUEST: five packets, each answered with ACK or NAK, until
    // 320 bytes have come (or the exchange gives up).
    void readDirectory(std::function<void(const PacketResult &result)> done);
    // INTERVAL_REQUEST: the index the meter named (14 or more counts as 0),
    // empty without a well-framed answer within 2 s.
    void queryInterval(std::function<void(std::optional<int> index)> done);
    // CLOCK_REQUEST: the logger's time in the first CLOCK_FRAME of the answer
    // (8 bytes or 2 s); empty without one that holds a real date.
    void readClock(std::function<void(std::optional<QDateTime> loggerTime)> done);
    // LIVE_REQUEST: whether the logger shows degrees Celsius, from the unit
    // of its live frame (10 bytes or 2 s); empty without a frame naming one.
    void readUnit(std::function<void(std::optional<bool> celsius)> done);
    // SET_CLOCK with the given local time, then 100 ms, then 3 bytes or 2 s.
    void setClock(const QDateTime &localTime, ReplyDone done);
    // SET_UNIT, SET_INTERVAL: 3 bytes or 2 s. index must be one of the list's.
    void setUnit(bool fahrenheit, ReplyDone done);
    void setInterval(int index, ReplyDone done);
    // ERASE_REQUEST: 3 bytes or 5 s.
    void erase(ReplyDone done);
    // The default setup: IDENTIFY_REQUEST (5 bytes or 3 s), then
    // DEFAULT_SETUP_REQUEST whatever the identity said; its confirmation
    // (3 bytes or 3 s) is awaited only after a good identity.
    void defaultSetup(std::function<void(DefaultSetup result)> done);

    void cancel();
    bool isRunning() const { return m_reply.isRunning() || m_packets.isRunning(); }

private:
    SerialPort &m_port;
    const MonotonicClock &m_clock;
    ReplyExchange m_reply;
    PacketExchange m_packets;
};
