#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Archive;
struct AuditEntry;

// Checks a user's own password through Linux-PAM: the service "kv518" when
// it is configured, else "login". confDir: a folder of PAM configurations
// to read instead of /etc/pam.d (pam_start_confdir).
Result<> checkPassword(const QString &user, const QByteArray &password, const QString &service = {},
                       const QString &confDir = {});

// A signature entry as a report and the review show it: the printed name,
// the date and time with the offset from UTC, and the meaning ("Jane Doe
// (jdoe), 2026-03-01 10:00:00 +01:00, approved").
QString signatureText(const AuditEntry &signature);

// Electronic signatures of archived runs. A signature (printed name, date
// and time with the offset from UTC, meaning) is an entry of the audit trail
// bound to the run's samples hash, so a verify finds one whose run no longer
// holds those samples. Three failed attempts in a row lock signing for the
// user for five minutes; each failure is audited.
class SigningSession
{
public:
    using Authenticator = std::function<Result<>(const QString &user, const QByteArray &password)>;
    using Clock = std::function<QDateTime()>;

    static constexpr int MaxFailures = 3;
    static constexpr int LockSeconds = 5 * 60;

    // authenticate: PAM by default; clock: the current time by default.
    explicit SigningSession(Authenticator authenticate = {}, Clock clock = {});

    static QStringList meanings(); // "reviewed", "approved", "released"

    // The first signing of a session asks for the user, later ones only
    // for the password.
    bool needsUser() const { return m_user.isEmpty(); }
    const QString &user() const { return m_user; }

    // When signing is locked for user in archive, the end of the lock.
    Result<std::optional<QDateTime>> lockedUntil(Archive &archive, const QString &user);

    // Signs the latest version of a run with meaning; user is the session's
    // after the first signing and must be the account this program runs as.
    // Returns the audit entry's id.
    Result<qint64> sign(Archive &archive, qint64 runId, const QString &meaning, const QString &user,
                        const QByteArray &password);

private:
    Authenticator m_authenticate;
    Clock m_clock;
    QString m_user;
};
