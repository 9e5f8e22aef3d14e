#include "cli/DownloadCommand.h"

#include "cli/ArchiveCommands.h"

#include "cli/FlowLoop.h"
#include "cli/MeterPort.h"
#include "core/archive/Archive.h"
#include "core/data/CollectionFile.h"
#include "core/data/LoggerDownload.h"
#include "core/data/TDataSetStore.h"
#include "core/link/ComPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

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

// The sentence and exit code for a transfer that did not bring the whole image.
int readFailure(CliContext &ctx, const LoggerDownloadResult &r, const QString &path)
{
    if (r.received() == 0 && r.retries == 0 && r.end == PacketEnd::Silence)
        return ctx.fail(ErrorCode::NotFound, QStringLiteral("No KV518 answers on %1.").arg(path));
    if (r.end == PacketEnd::SizeCap)
        return ctx.fail(ErrorCode::Transfer,
                        QStringLiteral("The meter on %1 sent more than 16 MiB, more than any logger holds; "
                                       "nothing written.").arg(path));
    // The download core's own sentence, as the program's error window gives it.
    return ctx.fail(ErrorCode::Transfer,
                    QStringLiteral("The transfer from %1 failed: %2; nothing written.").arg(path, r.result.message()));
}

int dataFailure(CliContext &ctx, const Result<> &parsed, const TDataSetStore &store)
{
    if (parsed.code() == ErrorCode::Damaged)
        return ctx.fail(ErrorCode::Damaged, QStringLiteral("Data set %1 runs past the downloaded memory image; "
                                                           "nothing written.")
                                                .arg(store.faultySet() + 1));
    // "There is not any recorded data in memory!" or "Memory error!"
    return ctx.fail(parsed.failure());
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
    const QCommandLineOption noArchive(QStringLiteral("no-archive"), QStringLiteral("Do not archive the download."));
    parser.addOption(outputOption);
    parser.addOption(quiet);
    parser.addOption(noArchive);
    parser.addOption(ArchiveCommands::archiveOption());
    if (auto code = ctx.parse(parser, arguments, false,
                              QStringLiteral("--port P -o FILE.518 [--quiet] [--no-archive | --archive PATH]")))
        return *code;
    const QString output = parser.value(outputOption);
    if (output.isEmpty())
        return ctx.fail(ErrorCode::Usage, QStringLiteral("-o FILE.518 is required (see --help)."));
    // Refused before the transfer, which takes a while.
    if (!QFileInfo(output).absoluteDir().exists() || QFileInfo(output).isDir())
        return ctx.fail(ErrorCode::WriteFailed, QStringLiteral("Cannot create file %1.").arg(quoted(output)));

    ComPort port;
    if (Result<> failed = MeterPort::open(parser, port); !failed)
        return ctx.fail(failed.failure());
    const QString path = port.deviceName();

    TerminalProgress bar(ctx.err(), !parser.isSet(quiet) && ::isatty(STDERR_FILENO));
    LoggerDownloadOptions options;
    int packets = 0;
    options.progress = [&bar, &packets](const DownloadProgress &p) {
        packets += p.step == PacketStep::Accepted;
        bar.show(p);
    };
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

    if (!r.result)
        return readFailure(ctx, r, path);
    TDataSetStore store;
    if (const Result<> parsed = store.load(r.image, r.expectedBytes); !parsed)
        return dataFailure(ctx, parsed, store);

    // Archived before the collection is written, so a collection that cannot
    // be written loses nothing; an archive that cannot be written is said
    // once and does not stop the collection.
    if (!parser.isSet(noArchive)) {
        ArchiveDownload d = ArchiveDownload::here(r.image, ArchiveSource::Download);
        d.expectedBytes = r.expectedBytes;
        d.port = path;
        d.packets = packets;
        d.naks = r.retries;
        d.attempts = 1;
        ArchiveCommands::archive(ctx, ArchiveCommands::archivePath(parser), d);
    }
    if (const Result<> written = CollectionFile::writeImage(output, r.image); !written)
        return ctx.fail(written.failure());

    ctx.out() << "Saved " << store.SetCount() << " data set(s), " << r.received() << " bytes from " << path
              << ", to " << output;
    if (r.retries > 0)
        ctx.out() << " (" << r.retries << " retries)";
    ctx.out() << '\n';
    return int(ExitCode::Success);
}

} // namespace DownloadCommand
