// kv518-sim: a KV518 meter behind a pseudo-terminal, for tests, benchmarks and
// trying the program without the hardware. Prints the device path to open on
// its first line.
#include "core/base/Log.h"
#include "core/data/AtomicFile.h"
#include "core/sim/ChunkScheduler.h"
#include "core/sim/MeterModel.h"
#include "sim/PseudoTerminal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cmath>
#include <csignal>
#include <memory>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

int intOption(const QCommandLineParser &p, const QString &name, int fallback)
{
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    return ok ? v : fallback;
}
// One --control line: "temperature 30.5", "humidity 40", "silent on", "recording off".
void applyControl(MeterModel &model, const QString &line)
{
    const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
    if (words.size() != 2) {
        std::fprintf(stderr, "kv518-sim: unknown control \"%s\"\n", qPrintable(line));
        return;
    }
    bool ok = false;
    const double number = words[1].toDouble(&ok);
    const bool on = words[1] == u"on";
    MeterModel::Reading r = model.reading();
    if (words[0] == u"temperature" && ok) {
        r.temperatureTenthsC = int(std::lround(number * 10));
        model.setReading(r);
    } else if (words[0] == u"humidity" && ok) {
        r.humidityTenths = int(std::lround(number * 10));
        model.setReading(r);
    } else if (words[0] == u"silent") {
        MeterFaults f = model.faults();
        f.silent = on;
        model.setFaults(f);
    } else if (words[0] == u"recording") {
        model.setRecording(on);
    } else {
        std::fprintf(stderr, "kv518-sim: unknown control \"%s\"\n", qPrintable(line));
    }
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv518-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KV518_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated KV518 meter on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("link"), QStringLiteral("Make a symbolic link PATH to the device."), QStringLiteral("PATH")},
        {QStringLiteral("image"), QStringLiteral("Load the logger memory from a collection file."), QStringLiteral("FILE")},
        {QStringLiteral("sets"), QStringLiteral("Generate N data sets (at most 15)."), QStringLiteral("N"), QStringLiteral("3")},
        {QStringLiteral("samples"), QStringLiteral("Samples per generated data set."), QStringLiteral("M"), QStringLiteral("100")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the generated data and faults."), QStringLiteral("S"), QStringLiteral("1")},
        {QStringLiteral("realtime"), QStringLiteral("Pace output at 19200 baud.")},
        {QStringLiteral("log"), QStringLiteral("Append every request received to FILE."), QStringLiteral("FILE")},
        {QStringLiteral("bad-checksum"), QStringLiteral("Send packet K once with a wrong checksum."), QStringLiteral("K")},
        {QStringLiteral("bad-checksum-always"), QStringLiteral("Send packet K with a wrong checksum every time: it is never accepted."), QStringLiteral("K")},
        {QStringLiteral("bad-checksum-every"), QStringLiteral("Send every Nth packet with a wrong checksum."), QStringLiteral("N")},
        {QStringLiteral("stall-after"), QStringLiteral("Hold back the packet after N packets..."), QStringLiteral("N")},
        {QStringLiteral("stall-ms"), QStringLiteral("...for T milliseconds."), QStringLiteral("T"), QStringLiteral("2000")},
        {QStringLiteral("stall-partial"), QStringLiteral("Send half of the held-back packet before the stall.")},
        {QStringLiteral("hangup-after"), QStringLiteral("Hang up after sending N bytes."), QStringLiteral("N")},
        {QStringLiteral("noise"), QStringLiteral("Stray bytes before every live frame.")},
        {QStringLiteral("split"), QStringLiteral("Send live frames in two pieces.")},
        {QStringLiteral("recording"), QStringLiteral("The logger is recording.")},
        {QStringLiteral("fahrenheit"), QStringLiteral("The meter shows Fahrenheit.")},
        {QStringLiteral("silent"), QStringLiteral("Answer nothing.")},
        {QStringLiteral("clock"), QStringLiteral("Start the logger's clock at TIME (ISO 8601, local)."), QStringLiteral("TIME")},
        {QStringLiteral("mute"), QStringLiteral("Leave the request NAME (e.g. SET_UNIT) unanswered; repeatable."), QStringLiteral("NAME")},
        {QStringLiteral("run-past-image"), QStringLiteral("The first data set ends beyond the memory image.")},
        {QStringLiteral("write-image"), QStringLiteral("Write the generated logger memory as a collection file FILE and exit."), QStringLiteral("FILE")},
        {QStringLiteral("control"), QStringLiteral("Take commands on the standard input, one a line: "
                                                   "\"temperature 30.5\" (Celsius), \"humidity 40\", "
                                                   "\"silent on|off\", \"recording on|off\"; the readings "
                                                   "then stay as set.")},
        {QStringLiteral("verbose"), QStringLiteral("Log what the simulator does on the standard error.")},
    };
    parser.addOptions(options);
    parser.process(app);
    if (parser.isSet(QStringLiteral("verbose")))
        enableVerboseLogging();

    MeterModel model(quint32(intOption(parser, QStringLiteral("seed"), 1)));
    if (parser.isSet(QStringLiteral("image"))) {
        if (!model.loadImage(parser.value(QStringLiteral("image")))) {
            std::fprintf(stderr, "kv518-sim: cannot read %s\n", qPrintable(parser.value(QStringLiteral("image"))));
            return 1;
        }
    } else {
        model.setImage(MeterModel::generateImage(intOption(parser, QStringLiteral("sets"), 3),
                                                 intOption(parser, QStringLiteral("samples"), 100),
                                                 quint32(intOption(parser, QStringLiteral("seed"), 1)),
                                                 parser.isSet(QStringLiteral("run-past-image"))));
    }
    if (parser.isSet(QStringLiteral("write-image"))) {
        const QString path = parser.value(QStringLiteral("write-image"));
        if (const Result<> written = AtomicFile::write(path, model.image()); !written) {
            std::fprintf(stderr, "kv518-sim: %s\n", qPrintable(written.message()));
            return 1;
        }
        return 0;
    }

    MeterFaults faults;
    faults.badChecksumPacket = intOption(parser, QStringLiteral("bad-checksum"), -1);
    faults.alwaysBadPacket = intOption(parser, QStringLiteral("bad-checksum-always"), -1);
    faults.badChecksumEvery = intOption(parser, QStringLiteral("bad-checksum-every"), 0);
    faults.stallAfterPackets = intOption(parser, QStringLiteral("stall-after"), -1);
    faults.stallMs = intOption(parser, QStringLiteral("stall-ms"), 2000);
    faults.stallMidPacket = parser.isSet(QStringLiteral("stall-partial"));
    faults.hangUpAfterBytes = intOption(parser, QStringLiteral("hangup-after"), -1);
    faults.noise = parser.isSet(QStringLiteral("noise"));
    faults.splitFrames = parser.isSet(QStringLiteral("split"));
    faults.silent = parser.isSet(QStringLiteral("silent"));
    faults.mute = parser.values(QStringLiteral("mute"));
    model.setFaults(faults);
    model.setRecording(parser.isSet(QStringLiteral("recording")));
    model.setFahrenheit(parser.isSet(QStringLiteral("fahrenheit")));
    if (parser.isSet(QStringLiteral("clock"))) {
        const QDateTime start = QDateTime::fromString(parser.value(QStringLiteral("clock")), Qt::ISODate);
        if (!start.isValid()) {
            std::fprintf(stderr, "kv518-sim: --clock needs a time such as 2020-01-31T12:00:00\n");
            return 1;
        }
        model.setLoggerTime(start);
    }

    QFile log;
    if (parser.isSet(QStringLiteral("log"))) {
        log.setFileName(parser.value(QStringLiteral("log")));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append)) {
            std::fprintf(stderr, "kv518-sim: cannot write %s\n", qPrintable(log.fileName()));
            return 1;
        }
        model.onRequest = [&log](const QString &name, const QByteArray &bytes) {
            log.write((name + QLatin1Char(' ') + QString::fromLatin1(bytes.toHex()) + QLatin1Char('\n')).toUtf8());
            log.flush();
        };
    }

    PseudoTerminal pty;
    if (!pty.open()) {
        std::fprintf(stderr, "kv518-sim: no pseudo-terminal: %s\n", qPrintable(pty.errorString()));
        return 1;
    }
    const QString linkPath = parser.value(QStringLiteral("link"));
    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(pty.slavePath(), linkPath)) {
            std::fprintf(stderr, "kv518-sim: cannot link %s\n", qPrintable(linkPath));
            return 1;
        }
    }

    ChunkScheduler scheduler([&pty](const QByteArray &bytes) { pty.write(bytes); },
                             [&] {
                                 pty.hangUp();
                                 app.quit();
                             },
                             parser.isSet(QStringLiteral("realtime")) ? ChunkScheduler::WireMsPerByte : 0.0);
    QObject::connect(&pty, &PseudoTerminal::received, &scheduler,
                     [&](const QByteArray &bytes) { scheduler.push(model.receive(bytes)); });

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return 1;
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
        app.quit();
    });
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    // --control: a test changes what the meter reads while it runs.
    std::unique_ptr<QSocketNotifier> control;
    QByteArray controlInput;
    if (parser.isSet(QStringLiteral("control"))) {
        model.setSteady(true);
        control = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(control.get(), &QSocketNotifier::activated, &app, [&] {
            char buf[512];
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                control->setEnabled(false);
                return;
            }
            controlInput.append(buf, qsizetype(n));
            qsizetype end;
            while ((end = controlInput.indexOf('\n')) >= 0) {
                applyControl(model, QString::fromUtf8(controlInput.left(end)).simplified());
                controlInput.remove(0, end + 1);
            }
        });
    }

    std::printf("%s\n", qPrintable(pty.slavePath()));
    std::fflush(stdout);

    const int rc = app.exec();
    pty.hangUp();
    if (!linkPath.isEmpty() && QFile::symLinkTarget(linkPath) == pty.slavePath())
        QFile::remove(linkPath);
    return rc;
}
