#include "cli/SiteCommands.h"

#include "core/app/AppFolders.h"
#include "core/archive/Archive.h"
#include "core/archive/Outbox.h"
#include "core/archive/SiteArchive.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace SiteCommands {

namespace {

// The password, asked on the terminal with echo off; never stored.
QString askPassword(const SiteUrl &url)
{
    if (!::isatty(STDIN_FILENO))
        return QString();
    std::fprintf(stderr, "Password for the site archive %s: ", qPrintable(url.key()));
    std::fflush(stderr);
    termios old{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (terminal) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fprintf(stderr, "\n");
    return QString::fromStdString(line);
}

// Connects with libpq's password, or one asked once when the server wants one.
Result<std::unique_ptr<SiteArchive>> connect(const QString &text)
{
    if (text.isEmpty())
        return fail(ErrorCode::Usage, QStringLiteral("No site archive is named: give --url or set [site] url= in "
                                                     "ini/archive.ini."));
    Result<SiteUrl> url = SiteUrl::parse(text);
    if (!url)
        return url.failure();
    Result<std::unique_ptr<SiteArchive>> site = SiteArchive::connect(*url);
    if (!site && site.message().contains(QLatin1String("password"))) {
        const QString password = askPassword(*url);
        if (!password.isEmpty())
            site = SiteArchive::connect(*url, password);
    }
    return site;
}

Result<std::unique_ptr<SiteArchive>> connectToSchema(const QString &text)
{
    Result<std::unique_ptr<SiteArchive>> site = connect(text);
    if (!site)
        return site;
    if (Result<> schema = (*site)->requireSchema(); !schema)
        return schema.failure();
    return site;
}

} // namespace

QString siteUrl(const QString &given)
{
    return given.isEmpty() ? configuredSiteUrl(AppFolders().programFolder()) : given;
}

int init(CliContext &ctx, const QString &url)
{
    Result<std::unique_ptr<SiteArchive>> site = connect(url);
    if (!site)
        return ctx.fail(site.failure());
    if (Result<> made = (*site)->init(); !made)
        return ctx.fail(made.failure());
    ctx.out() << "The site archive " << (*site)->url().key() << " is ready (schema version " << SiteArchive::SchemaVersion
              << ").\n";
    return int(ExitCode::Success);
}

int status(CliContext &ctx, const QString &archivePath, const QString &url, bool json)
{
    Result<SiteUrl> parsed = SiteUrl::parse(url);
    if (url.isEmpty() || !parsed)
        return ctx.fail(url.isEmpty() ? Failure{ErrorCode::Usage, QStringLiteral("No site archive is named: give "
                                                                                      "--url or set [site] url= in "
                                                                                      "ini/archive.ini.")}
                                           : parsed.failure());
    if (!QFileInfo::exists(archivePath))
        return ctx.fail(ErrorCode::Unreadable, QStringLiteral("There is no archive \"%1\".").arg(archivePath));
    Result<std::unique_ptr<Outbox>> outbox = Outbox::open(archivePath);
    Result<QList<qint64>> waiting = outbox ? (*outbox)->waiting(parsed->key()) : Result<QList<qint64>>(outbox.failure());
    Result<QList<qint64>> audit = waiting ? (*outbox)->waitingAudit(parsed->key()) : waiting;
    if (!audit)
        return ctx.fail(audit.failure());
    const int n = int(waiting->size());
    const int a = int(audit->size());
    if (json)
        ctx.out() << QJsonDocument(QJsonObject{{"site", parsed->key()},
                                               {"workstation", Archive::workstationName()},
                                               {"waiting", n},
                                               {"audit_waiting", a},
                                               {"status", siteStatusText(n, a)}})
                         .toJson(QJsonDocument::Indented);
    else
        ctx.out() << siteStatusText(n, a) << '\n';
    return int(ExitCode::Success);
}

int sync(CliContext &ctx, const QString &archivePath, const QString &url, bool json)
{
    if (!QFileInfo::exists(archivePath))
        return ctx.fail(ErrorCode::Unreadable, QStringLiteral("There is no archive \"%1\".").arg(archivePath));
    Result<std::unique_ptr<Archive>> archive = Archive::open(archivePath);
    if (!archive)
        return ctx.fail(archive.failure());
    Result<std::unique_ptr<Outbox>> outbox = Outbox::open(archivePath);
    if (!outbox)
        return ctx.fail(outbox.failure());
    SyncReport report;
    Result<std::unique_ptr<SiteArchive>> site = connectToSchema(url);
    if (site) {
        report = sendOutbox(**archive, **outbox, **site, Archive::workstationName());
    } else {
        report.failure = site.failure();
        Result<SiteUrl> parsed = SiteUrl::parse(url);
        if (parsed) {
            report.waiting = int((*outbox)->waiting(parsed->key()).valueOr({}).size());
            report.auditWaiting = int((*outbox)->waitingAudit(parsed->key()).valueOr({}).size());
        }
    }
    if (json)
        ctx.out() << QJsonDocument(QJsonObject{{"sent", report.sent},
                                               {"already_stored", report.alreadyStored},
                                               {"waiting", report.waiting},
                                               {"audit_sent", report.auditSent},
                                               {"audit_already_stored", report.auditAlreadyStored},
                                               {"audit_waiting", report.auditWaiting},
                                               {"error", report.failure ? report.failure->message : QString()}})
                         .toJson(QJsonDocument::Indented);
    else
        ctx.out() << "Sent " << report.sent << " download(s) and " << report.auditSent
                  << " audit entr(ies) to the site archive (" << report.alreadyStored + report.auditAlreadyStored
                  << " already there). " << report.statusText() << '\n';
    if (report.failure)
        return ctx.fail(*report.failure);
    return int(ExitCode::Success);
}

int list(CliContext &ctx, const QString &url, bool json)
{
    Result<std::unique_ptr<SiteArchive>> site = connectToSchema(url);
    if (!site)
        return ctx.fail(site.failure());
    Result<QList<SiteRunInfo>> runs = (*site)->runs();
    if (!runs)
        return ctx.fail(runs.failure());
    if (json) {
        QJsonArray rows;
        for (const SiteRunInfo &r : *runs)
            rows.append(QJsonObject{{"run", r.id},
                                    {"start", r.start},
                                    {"interval_s", r.intervalSeconds},
                                    {"unit", r.unit},
                                    {"samples", r.samples},
                                    {"last_sample", r.lastSample},
                                    {"versions", r.versions},
                                    {"samples_sha256", r.samplesSha256},
                                    {"workstations", QJsonArray::fromStringList(r.workstations)},
                                    {"users", QJsonArray::fromStringList(r.users)},
                                    {"first_download_utc", r.firstDownloadUtc.toUTC().toString(Qt::ISODate)}});
        ctx.out() << QJsonDocument(rows).toJson(QJsonDocument::Indented);
        return int(ExitCode::Success);
    }
    ctx.out() << "RUN\tSTART\tINTERVAL\tUNIT\tSAMPLES\tLAST SAMPLE\tVERSIONS\tWORKSTATIONS\tUSERS\tFINGERPRINT\n";
    for (const SiteRunInfo &r : *runs)
        ctx.out() << r.id << '\t' << r.start << '\t' << r.intervalSeconds << '\t' << r.unit << '\t' << r.samples << '\t'
                  << r.lastSample << '\t' << r.versions << '\t' << r.workstations.join(u',') << '\t'
                  << r.users.join(u',') << '\t' << r.samplesSha256.left(16) << '\n';
    return int(ExitCode::Success);
}

int verify(CliContext &ctx, const QString &url)
{
    Result<std::unique_ptr<SiteArchive>> site = connectToSchema(url);
    if (!site)
        return ctx.fail(site.failure());
    Result<QStringList> problems = (*site)->verify();
    if (!problems)
        return ctx.fail(problems.failure());
    for (const QString &p : *problems)
        ctx.out() << p << '\n';
    if (!problems->isEmpty())
        return ctx.fail(ErrorCode::Damaged, QStringLiteral("The site archive %1 does not match its hashes in %2 place(s).")
                                                .arg((*site)->url().key())
                                                .arg(problems->size()));
    ctx.out() << "The site archive is sound: " << (*site)->downloadCount().valueOr(0) << " download(s) from "
              << (*site)->workstationCount().valueOr(0) << " workstation(s) and "
              << (*site)->auditEntryCount().valueOr(0)
              << " audit entr(ies), every image, run and chain matches its hash.\n";
    return int(ExitCode::Success);
}

} // namespace SiteCommands
