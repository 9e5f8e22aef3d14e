#include "cli/CliContext.h"

#include <QCoreApplication>
#include <cstdio>

CliContext::CliContext()
    : m_out(stdout), m_err(stderr)
{
}

int CliContext::fail(ExitCode code, const QString &sentence)
{
    m_err << QCoreApplication::applicationName() << ": " << sentence << Qt::endl;
    return int(code);
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
        return fail(ExitCode::Usage, parser.errorText() + QStringLiteral(" (see --help)"));
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
            return fail(ExitCode::Usage, QStringLiteral("Unknown locale \"%1\".").arg(name));
        m_texts = DateTimeText(chosen);
    }
    return std::nullopt;
}
