#include "core/setup/LoggerSetup.h"

#include "core/link/MeterMessages.h"
#include "core/live/LiveDecoder.h"
#include "core/setup/SetupData.h"

namespace {
// SET_CLOCK's answer is looked for only after this pause.
constexpr int SetClockSettleMs = 100;
} // namespace

LoggerSetup::LoggerSetup(SerialPort &port, const MonotonicClock &clock, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_clock(clock)
    , m_reply(clock)
{
}

void LoggerSetup::readDirectory(std::function<void(const PacketResult &)> done)
{
    cancel();
    PacketOptions options;
    options.target = Meter::DirectoryBytes;
    options.clock = &m_clock;
    m_packets.start(m_port, Meter::DIRECTORY_REQUEST, std::move(options), std::move(done));
}

void LoggerSetup::queryInterval(std::function<void(std::optional<int>)> done)
{
    cancel();
    m_reply.start(m_port, {Meter::INTERVAL_REQUEST, Meter::ShortReplyLength, Meter::ShortReplyTimeoutMs, 0},
                  [done = std::move(done)](const QByteArray &reply) { done(SetupData::intervalFromReply(reply)); });
}

void LoggerSetup::readClock(std::function<void(std::optional<QDateTime>)> done)
{
    cancel();
    m_reply.start(m_port, {Meter::CLOCK_REQUEST, Meter::ClockFrameLength, Meter::ShortReplyTimeoutMs, 0},
                  [done = std::move(done)](const QByteArray &reply) {
                      QByteArray stream = reply;
                      std::optional<QDateTime> time;
                      SetupData::extractClockTimes(stream, [&time](const QDateTime &t) {
                          if (!time)
                              time = t;
                      });
                      done(time);
                  });
}

void LoggerSetup::readUnit(std::function<void(std::optional<bool>)> done)
{
    cancel();
    m_reply.start(m_port, {Meter::LIVE_REQUEST, Meter::LiveFrameLength, Meter::ShortReplyTimeoutMs, 0},
                  [done = std::move(done)](const QByteArray &reply) {
                      const QByteArray frame = reply.left(Meter::LiveFrameLength);
                      const LiveUnit unit = Meter::isPlausibleLiveFrame(frame) ? readLiveFrame(frame).unit
                                                                                : LiveUnit::None;
                      if (unit == LiveUnit::None)
                          done(std::nullopt);
                      else
                          done(unit == LiveUnit::Celsius);
                  });
}

void LoggerSetup::setClock(const QDateTime &localTime, ReplyDone done)
{
    cancel();
    m_reply.start(m_port,
                  {Meter::SET_CLOCK(localTime), Meter::ShortReplyLength, Meter::ShortReplyTimeoutMs, SetClockSettleMs},
                  std::move(done));
}

void LoggerSetup::setUnit(bool fahrenheit, ReplyDone done)
{
    cancel();
    m_reply.start(m_port, {Meter::SET_UNIT(fahrenheit), Meter::ShortReplyLength, Meter::ShortReplyTimeoutMs, 0},
                  std::move(done));
}

void LoggerSetup::setInterval(int index, ReplyDone done)
{
    cancel();
    if (index < 0 || index >= Meter::IntervalCount) {
        // The meter would store it as a recording interval it does not have:
        // nothing is sent, and nothing confirms it.
        m_clock.callAfter(0, this, [done = std::move(done)] { done({}); });
        return;
    }
    m_reply.start(m_port, {Meter::SET_INTERVAL(index), Meter::ShortReplyLength, Meter::ShortReplyTimeoutMs, 0},
                  std::move(done));
}

void LoggerSetup::erase(ReplyDone done)
{
    cancel();
    m_reply.start(m_port, {Meter::ERASE_REQUEST, Meter::ShortReplyLength, Meter::EraseTimeoutMs, 0}, std::move(done));
}

void LoggerSetup::defaultSetup(std::function<void(DefaultSetup)> done)
{
    cancel();
    m_reply.start(m_port, {Meter::IDENTIFY_REQUEST, Meter::IdentifyReplyLength, Meter::IdentifyTimeoutMs, 0},
                  [this, done = std::move(done)](const QByteArray &identity) {
                      if (!SetupData::isStrictIdentity(identity)) {
                          // The meter may be too confused to say who it is;
                          // the request that cures it still goes out.
                          SendRequest(m_port, Meter::DEFAULT_SETUP_REQUEST);
                          done(DefaultSetup::NoIdentity);
                          return;
                      }
                      m_reply.start(m_port,
                                    {Meter::DEFAULT_SETUP_REQUEST, Meter::ShortReplyLength, Meter::IdentifyTimeoutMs, 0},
                                    [done](const QByteArray &reply) {
                                        done(SetupData::isConfirmed(reply) ? DefaultSetup::Loaded
                                                                           : DefaultSetup::NotConfirmed);
                                    });
                  });
}

void LoggerSetup::cancel()
{
    m_reply.cancel();
    m_packets.cancel();
}
