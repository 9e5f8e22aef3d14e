#pragma once

#include "core/base/Result.h"
#include "core/watch/WatchRules.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// Where `kv518-cli watch` tells its events besides the archive and the
// standard output: a command of the user's, e-mail through the system's
// sendmail, and an MQTT broker.

// --on-event CMD: CMD is split into a program and its arguments as a shell
// would split it, once, at the start; the event never becomes part of a
// command line. Each event starts the program with the event's JSON on its
// standard input and KV518_EVENT, KV518_CHANNEL, KV518_VALUE, KV518_TIME in
// its environment. A program still running after a minute is killed.
class EventCommand : public QObject
{
    Q_OBJECT
public:
    static Result<std::unique_ptr<EventCommand>> create(const QString &commandLine);
    void notify(const WatchEvent &event);
    // Waits (at a stop) until the programs started have ended.
    void finish();

private:
    EventCommand(QString program, QStringList arguments);
    QString m_program;
    QStringList m_arguments;
};

// --mail-to ADDR: a plain RFC 5322 message per event, handed to `sendmail -t`
// (found on PATH, else /usr/sbin/sendmail).
class MailNotifier : public QObject
{
    Q_OBJECT
public:
    static Result<std::unique_ptr<MailNotifier>> create(const QString &address);
    void notify(const WatchEvent &event, const QString &port);
    void finish();
    // The message for an event (headers, a blank line, the text).
    static QByteArray message(const WatchEvent &event, const QString &to, const QString &from, const QString &port);

private:
    MailNotifier(QString sendmail, QString address);
    QString m_sendmail;
    QString m_address;
};

// --mqtt mqtt://HOST[:PORT]/TOPIC: readings to TOPIC/reading, periods to
// TOPIC/period, events to TOPIC/event, and a retained TOPIC/status that says
// "online" while the watch runs and "offline" after it (the broker's last
// will says it when the watch dies).
class MqttPublisher
{
public:
    static Result<std::unique_ptr<MqttPublisher>> create(const QString &url, const QString &clientName);
    ~MqttPublisher();
    void publish(const QString &subtopic, const QByteArray &payload, bool retain = false);
    // Says "offline" and disconnects.
    void finish();

private:
    MqttPublisher() = default;
    struct mosquitto *m_client = nullptr;
    QString m_topic;
    bool m_finished = false;
};
