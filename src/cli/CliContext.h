#pragma once

#include "core/base/Result.h"
#include "core/data/DateTimeText.h"

#include <QCommandLineParser>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

// What kv518-cli tells the calling script.
enum class ExitCode : int {
    Success = 0,
    Usage = 2,
    NotFound = 3,   // no such port, or no meter answers on it
    Transfer = 4,   // the meter link failed during an exchange
    DataError = 5,  // a collection, data file or download that is damaged or empty
};

// Output streams and the shared option handling of every command.
class CliContext
{
public:
    CliContext();

    QTextStream &out() { return m_out; }
    QTextStream &err() { return m_err; }

    // Prints the failure's sentence to stderr and returns its exit code.
    int fail(const Failure &failure);
    // The exit code of a command once its output has left the buffers: a
    // standard output that cannot take it (a full disk, /dev/full) fails a
    // command that succeeded.
    int finish(int code);
    int fail(ErrorCode code, const QString &sentence) { return fail(Failure{code, sentence}); }

    // The one place a kind of failure becomes an exit code.
    static ExitCode exitCodeOf(ErrorCode code);

    // Parses a command's arguments (the command name first) with the common
    // options (--help, and --locale when the command prints dates or
    // numbers). Returns the exit code when the command ends here: 0 once the
    // help is shown, or that of the usage error reported.
    std::optional<int> parse(QCommandLineParser &parser, const QStringList &arguments, bool withLocale,
                             const QString &usage);

    // The locale chosen with --locale, or the system's.
    const DateTimeText &texts() const { return m_texts; }

private:
    QTextStream m_out;
    QTextStream m_err;
    DateTimeText m_texts;
};

struct CliCommand
{
    QString name;
    QString usage;     // arguments after the name
    QString summary;   // one line for the overview
    std::function<int(CliContext &, const QStringList &)> run;
};
