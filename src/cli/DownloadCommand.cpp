#include "cli/DownloadCommand.h"

#include "cli/FlowLoop.h"
#include "cli/MeterPort.h"
#include "core/data/LoggerDownload.h"
#include "core/data/TDataSetStore.h"
#include "core/link/ComPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

namespace DownloadCommand {

namespace {

// The progress window on a terminal: "received/total bytes" and a bar, redrawn
// in place on stderr, at most every 100 ms.
class TerminalProgress
{
public:
    TerminalProgress(QTextStream &err, bool enabled)
        : m_err(err), m_enabled(enabled)
    {
    }

    void show(const DownloadProgress &p)
    {
        if (!m_enabled)
            return;
        const bool totalJustKnown = p.total != m_lastTotal;
        if (m_shown && !totalJustKnown && m_sinceDrawn.elapsed() < RedrawMs && p.received != p.total)
            return;
        m_lastTotal = p.total;
        const int filled = int(qint64(p.barValue()) * BarWidth / p.barMaximum());
        const int percent = int(qint64(p.barValue()) * 100 / p.barMaximum());
        m_err << '\r' << p.received << '/' << p.total << " bytes ["
              << QString(filled, u'#') << QString(BarWidth - filled, u'.') << "] " << percent << '%';
        m_err.flush();
        m_shown = true;
        m_sinceDrawn.start();
    }

    void end()
    {
        if (m_shown)
            m_err << '\n';
        m_err.flush();
        m_shown = false;
    }

private:
    static constexpr int BarWidth = 40;
    static constexpr qint64 RedrawMs = 100;

    QTextStream &m_err;
    bool m_enabled;
    bool m_shown = false;
    qint64 m_lastTotal = 0;
    QElapsedTimer m_sinceDrawn;
};

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

QString endCause(PacketEnd end)
{
    switch (end) {
    case PacketEnd::TooManyRetries: return QStringLiteral("21 packets were rejected");
    case PacketEnd::PortClosed: return QStringLiteral("the line went away");
    case PacketEnd::SizeCap: return QStringLiteral("more than 16 MiB came");
    case PacketEnd::Silence:
    case PacketEnd::TargetReached: break;
    }
    return QStringLiteral("the meter fell silent");
}

// The sentence and exit code for a transfer that did not bring the whole image.
int readFailure(CliContext &ctx, const LoggerDownloadResult &r, const QString &path)
{
    if (r.received() == 0 && r.retries == 0 && r.end == PacketEnd::Silence)
        return ctx.fail(ExitCode::NotFound, QStringLiteral("No KV518 answers on %1.").arg(path));
    if (r.end == PacketEnd::SizeCap)
        return ctx.fail(ExitCode::Transfer,
                        QStringLiteral("The meter on %1 sent more than 16 MiB, more than any logger holds; "
                                       "nothing written.").arg(path));
    if (!r.directoryRead)
        return ctx.fail(ExitCode::Transfer,
                        QStringLiteral("The transfer from %1 ended after %2 bytes, before the memory directory "
                                       "was complete (%3); nothing written.")
                            .arg(path)
                            .arg(r.received())
                            .arg(endCause(r.end)));
    return ctx.fail(ExitCode::Transfer, QStringLiteral("The transfer from %1 ended after %2 of %3 bytes (%4); "
                                                       "nothing written.")
                                            .arg(path)
                                            .arg(r.received())
                                            .arg(r.expectedBytes)
                                            .arg(endCause(r.end)));
}

int dataFailure(CliContext &ctx, TLoadResult result, const TDataSetStore &store)
{
    switch (result) {
    case TLoadResult::lrNoData:
        return ctx.fail(ExitCode::DataError, QStringLiteral("There is not any recorded data in memory!"));
    case TLoadResult::lrDataError:
        return ctx.fail(ExitCode::DataError, QStringLiteral("Data set %1 runs past the downloaded memory image; "
                                                            "nothing written.")
                                                 .arg(store.faultySet() + 1));
    default:
        return ctx.fail(ExitCode::DataError, QStringLiteral("Memory error!"));
    }
}

} // namespace

int run(CliContext &ctx, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOption(MeterPort::portOption());
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("The collection file to write (replaced once complete)."),
                                          QStringLiteral("FILE.518"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No progress bar."));
    parser.addOption(outputOption);
    parser.addOption(quiet);
    if (auto code = ctx.parse(parser, arguments, false, QStringLiteral("--port P -o FILE.518 [--quiet]")))
        return *code;
    const QString output = parser.value(outputOption);
    if (output.isEmpty())
        return ctx.fail(ExitCode::Usage, QStringLiteral("-o FILE.518 is required (see --help)."));
    // Refused before the transfer, which takes a while.
    if (!QFileInfo(output).absoluteDir().exists() || QFileInfo(output).isDir())
        return ctx.fail(ExitCode::DataError, QStringLiteral("Cannot create file %1.").arg(quoted(output)));

    ComPort port;
    if (auto code = MeterPort::open(ctx, parser, port))
        return *code;
    const QString path = port.deviceName();

    TerminalProgress bar(ctx.err(), !parser.isSet(quiet) && ::isatty(STDERR_FILENO));
    LoggerDownloadOptions options;
    options.progress = [&bar](const DownloadProgress &p) { bar.show(p); };
    LoggerDownloadResult r;
    LoggerDownload transfer;
    runFlow([&](const std::function<void()> &ended) {
        transfer.start(port, std::move(options), [&r, ended](const LoggerDownloadResult &result) {
            r = result;
            ended();
        });
    });
    bar.end();
    port.close();

    if (r.result != TLoadResult::lrOk)
        return readFailure(ctx, r, path);
    TDataSetStore store;
    const TLoadResult parsed = store.load(r.image, r.expectedBytes);
    if (parsed != TLoadResult::lrOk)
        return dataFailure(ctx, parsed, store);

    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(r.image) != r.image.size() || !file.commit())
        return ctx.fail(ExitCode::DataError, QStringLiteral("Cannot create file %1.").arg(quoted(output)));

    ctx.out() << "Saved " << store.SetCount() << " data set(s), " << r.received() << " bytes from " << path
              << ", to " << output;
    if (r.retries > 0)
        ctx.out() << " (" << r.retries << " retries)";
    ctx.out() << '\n';
    return int(ExitCode::Success);
}

} // namespace DownloadCommand
