#include "cli/CliContext.h"

#include <QCoreApplication>
#include <cstdio>

CliContext::CliContext()
    : m_out(stdout), m_err(stderr)
{
}

int CliContext::fail(const Failure &failure)
{
    // One sentence: a message of the core's that does not end as one gets its full stop.
    QString sentence = failure.message;
    if (!sentence.isEmpty() && (sentence.back().isLetterOrNumber() || sentence.back() == u'"'))
        sentence += u'.';
    m_err << QCoreApplication::applicationName() << ": " << sentence << Qt::endl;
    return int(exitCodeOf(failure.code));
}

int CliContext::finish(int code)
{
    m_out.flush();
    const bool written = m_out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (written || code != int(ExitCode::Success))
        return code;
    return fail(ErrorCode::WriteFailed, QStringLiteral("Cannot write to the standard output."));
}

ExitCode CliContext::exitCodeOf(ErrorCode code)
{
    switch (code) {
    case ErrorCode::Usage:
        return ExitCode::Usage;
    case ErrorCode::NotFound:
    case ErrorCode::Permission:
        return ExitCode::NotFound;
    case ErrorCode::Transfer:
        return ExitCode::Transfer;
    case ErrorCode::Unreadable:
    case ErrorCode::NotData:
    case ErrorCode::Damaged:
    case ErrorCode::NoData:
    case ErrorCode::TooLarge:
    case ErrorCode::WriteFailed:
    case ErrorCode::Cancelled:
    case ErrorCode::Refused:
        break;
    }
    return ExitCode::DataError;
}

std::optional<int> CliContext::parse(QCommandLineParser &parser, const QStringList &arguments, bool withLocale,
                                     const QString &usage)
{
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption locale(QStringLiteral("locale"),
                                    QStringLiteral("Dates and numbers after the regional formats of NAME "
                                                   "(e.g. en_US, de_DE; default: the system's)."),
                                    QStringLiteral("NAME"));
    parser.addOption(help);
    if (withLocale)
        parser.addOption(locale);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(arguments))
        return fail(ErrorCode::Usage, parser.errorText() + QStringLiteral(" (see --help)"));
    if (parser.isSet(help)) {
        m_out << "Usage: " << QCoreApplication::applicationName() << ' ' << arguments.value(0) << ' ' << usage
              << "\n\n"
              << parser.helpText().section(u'\n', 2);
        m_out.flush();
        return int(ExitCode::Success);
    }
    if (withLocale && parser.isSet(locale)) {
        const QString name = parser.value(locale);
        const QLocale chosen(name);
        const bool isC = name.compare(QLatin1String("C"), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String("POSIX"), Qt::CaseInsensitive) == 0;
        if (chosen.language() == QLocale::C && !isC)
            return fail(ErrorCode::Usage, QStringLiteral("Unknown locale \"%1\".").arg(name));
        m_texts = DateTimeText(chosen);
    }
    return std::nullopt;
}
