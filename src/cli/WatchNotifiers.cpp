#include "cli/WatchNotifiers.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocale>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>
#include <QRegularExpression>
#include <QUrl>

#include <mosquitto.h>

namespace {

constexpr int ProgramLimitMs = 60000;

QByteArray eventJson(const WatchEvent &event)
{
    return QJsonDocument(event.toJson()).toJson(QJsonDocument::Compact);
}

// Starts program with input on its standard input; the process deletes
// itself when it ends, and is killed when it runs too long.
void startWithInput(QObject *owner, const QString &program, const QStringList &arguments,
                    const QProcessEnvironment &environment, const QByteArray &input)
{
    auto *process = new QProcess(owner);
    process->setProcessEnvironment(environment);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process, program](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            qWarning().noquote() << "kv518-cli: cannot start" << program;
            process->deleteLater();
        }
    });
    QTimer::singleShot(ProgramLimitMs, process, [process] { process->kill(); });
    process->start(program, arguments);
    process->write(input);
    process->closeWriteChannel();
}

void waitForChildren(QObject *owner)
{
    for (QProcess *p : owner->findChildren<QProcess *>())
        if (p->state() != QProcess::NotRunning && !p->waitForFinished(ProgramLimitMs))
            p->kill();
}

} // namespace

// ---- --on-event ---------------------------------------------------------------------------

EventCommand::EventCommand(QString program, QStringList arguments)
    : m_program(std::move(program))
    , m_arguments(std::move(arguments))
{
}

Result<std::unique_ptr<EventCommand>> EventCommand::create(const QString &commandLine)
{
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return fail(ErrorCode::Usage, QStringLiteral("--on-event needs a command."));
    const QString program = words.takeFirst();
    return std::unique_ptr<EventCommand>(new EventCommand(program, words));
}

void EventCommand::notify(const WatchEvent &event)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KV518_EVENT"), event.kindName());
    env.insert(QStringLiteral("KV518_CHANNEL"), event.channelName());
    env.insert(QStringLiteral("KV518_VALUE"), event.value ? QString::number(*event.value) : QString());
    env.insert(QStringLiteral("KV518_TIME"), utcText(event.utc));
    startWithInput(this, m_program, m_arguments, env, eventJson(event) + '\n');
}

void EventCommand::finish()
{
    waitForChildren(this);
}

// ---- --mail-to ----------------------------------------------------------------------------

MailNotifier::MailNotifier(QString sendmail, QString address)
    : m_sendmail(std::move(sendmail))
    , m_address(std::move(address))
{
}

Result<std::unique_ptr<MailNotifier>> MailNotifier::create(const QString &address)
{
    // An address is one header line: a line break would let it add headers
    // or recipients of its own.
    static const QRegularExpression plain(QStringLiteral("^[^\\s@<>,;\"()\\[\\]\\\\]+@[^\\s@<>,;\"()\\[\\]\\\\]+$"));
    if (!plain.match(address).hasMatch())
        return fail(ErrorCode::Usage, QStringLiteral("--mail-to needs one plain address such as ops@example.org."));
    QString sendmail = QStandardPaths::findExecutable(QStringLiteral("sendmail"));
    if (sendmail.isEmpty())
        sendmail = QStandardPaths::findExecutable(QStringLiteral("sendmail"),
                                                  {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/lib")});
    if (sendmail.isEmpty())
        return fail(ErrorCode::NotFound,
                    QStringLiteral("--mail-to needs the system's sendmail (not on PATH, nor /usr/sbin/sendmail)."));
    return std::unique_ptr<MailNotifier>(new MailNotifier(sendmail, address));
}

QByteArray MailNotifier::message(const WatchEvent &event, const QString &to, const QString &from, const QString &port)
{
    const QString subject = QStringLiteral("KV518 on %1: %2").arg(port, event.kindName());
    const QString date = QLocale::c().toString(event.utc.toLocalTime(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss "))
        + [&] {
              const int offset = event.utc.toLocalTime().offsetFromUtc();
              const int minutes = qAbs(offset) / 60;
              return QStringLiteral("%1%2%3")
                  .arg(offset < 0 ? u'-' : u'+')
                  .arg(minutes / 60, 2, 10, QChar(u'0'))
                  .arg(minutes % 60, 2, 10, QChar(u'0'));
          }();
    QString body = event.sentence() + QStringLiteral("\n\n") + QString::fromUtf8(eventJson(event)) + u'\n';
    // Headers are ASCII by construction: the port is the user's device path.
    QString headers = QStringLiteral("From: %1\nTo: %2\nSubject: %3\nDate: %4\nMIME-Version: 1.0\n"
                                     "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n")
                          .arg(from, to, QString(subject).remove(u'\r').remove(u'\n'), date);
    return (headers + body).toUtf8();
}

void MailNotifier::notify(const WatchEvent &event, const QString &port)
{
    const QString from = QStringLiteral("kv518-watch@%1").arg(QSysInfo::machineHostName());
    startWithInput(this, m_sendmail, {QStringLiteral("-t")}, QProcessEnvironment::systemEnvironment(),
                   message(event, m_address, from, port));
}

void MailNotifier::finish()
{
    waitForChildren(this);
}

// ---- --mqtt -------------------------------------------------------------------------------

Result<std::unique_ptr<MqttPublisher>> MqttPublisher::create(const QString &text, const QString &clientName)
{
    const QUrl url(text, QUrl::StrictMode);
    QString topic = url.path();
    while (topic.startsWith(u'/'))
        topic.remove(0, 1);
    if (!url.isValid() || url.scheme() != u"mqtt" || url.host().isEmpty() || topic.isEmpty()
        || topic.contains(u'#') || topic.contains(u'+'))
        return fail(ErrorCode::Usage, QStringLiteral("--mqtt needs mqtt://HOST[:PORT]/TOPIC."));
    static const int initialised = mosquitto_lib_init();
    Q_UNUSED(initialised);
    std::unique_ptr<MqttPublisher> p(new MqttPublisher);
    p->m_topic = topic;
    p->m_client = mosquitto_new(clientName.toUtf8().constData(), true, nullptr);
    if (!p->m_client)
        return fail(ErrorCode::Transfer, QStringLiteral("Cannot set up the MQTT client."));
    const QByteArray status = (topic + QStringLiteral("/status")).toUtf8();
    mosquitto_will_set(p->m_client, status.constData(), 7, "offline", 1, true);
    // "online" goes out at every (re)connection, so a broker restarted
    // meanwhile knows again.
    mosquitto_connect_callback_set(p->m_client, [](struct mosquitto *client, void *, int rc) {
        if (rc == 0) {
            const QByteArray *topic = static_cast<const QByteArray *>(mosquitto_userdata(client));
            mosquitto_publish(client, nullptr, topic->constData(), 6, "online", 1, true);
        }
    });
    auto *statusTopic = new QByteArray(status);
    mosquitto_user_data_set(p->m_client, statusTopic);
    const QByteArray host = url.host().toUtf8();
    const int rc = mosquitto_connect(p->m_client, host.constData(), url.port(1883), 30);
    if (rc != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(p->m_client);
        p->m_client = nullptr;
        delete statusTopic;
        return fail(ErrorCode::NotFound, QStringLiteral("Cannot reach the MQTT broker %1:%2: %3.")
                                             .arg(url.host())
                                             .arg(url.port(1883))
                                             .arg(QString::fromUtf8(mosquitto_strerror(rc))));
    }
    mosquitto_loop_start(p->m_client);
    return p;
}

void MqttPublisher::publish(const QString &subtopic, const QByteArray &payload, bool retain)
{
    if (!m_client || m_finished)
        return;
    const QByteArray topic = (m_topic + u'/' + subtopic).toUtf8();
    mosquitto_publish(m_client, nullptr, topic.constData(), int(payload.size()), payload.constData(), 1, retain);
}

void MqttPublisher::finish()
{
    if (!m_client || m_finished)
        return;
    publish(QStringLiteral("status"), "offline", true);
    m_finished = true;
    mosquitto_disconnect(m_client);
    mosquitto_loop_stop(m_client, false);
}

MqttPublisher::~MqttPublisher()
{
    if (!m_client)
        return;
    finish();
    delete static_cast<QByteArray *>(mosquitto_userdata(m_client));
    mosquitto_destroy(m_client);
}
