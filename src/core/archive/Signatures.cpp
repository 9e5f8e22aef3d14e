#include "core/archive/Signatures.h"

#include "core/archive/Archive.h"
#include "core/archive/AuditTrail.h"
#include "core/base/Log.h"

#include <QDir>
#include <QFileInfo>

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>

namespace {

struct Conversation
{
    QByteArray password;
};

// Answers every prompt that hides what is typed with the password; other
// prompts get an empty answer, messages none.
int converse(int count, const pam_message **messages, pam_response **responses, void *data)
{
    if (count <= 0 || count > PAM_MAX_NUM_MSG)
        return PAM_CONV_ERR;
    auto *replies = static_cast<pam_response *>(std::calloc(size_t(count), sizeof(pam_response)));
    if (!replies)
        return PAM_BUF_ERR;
    const QByteArray &password = static_cast<Conversation *>(data)->password;
    for (int i = 0; i < count; ++i) {
        const int style = messages[i]->msg_style;
        if (style == PAM_PROMPT_ECHO_OFF || style == PAM_PROMPT_ECHO_ON)
            replies[i].resp = strndup(style == PAM_PROMPT_ECHO_OFF ? password.constData() : "",
                                      style == PAM_PROMPT_ECHO_OFF ? size_t(password.size()) : 0);
    }
    *responses = replies;
    return PAM_SUCCESS;
}

} // namespace

Result<> checkPassword(const QString &user, const QByteArray &password, const QString &service, const QString &confDir)
{
    QString name = service;
    if (name.isEmpty()) {
        const QDir folder(confDir.isEmpty() ? QStringLiteral("/etc/pam.d") : confDir);
        name = folder.exists(QStringLiteral("kv518")) ? QStringLiteral("kv518") : QStringLiteral("login");
    }
    Conversation data{password};
    const pam_conv conversation{converse, &data};
    pam_handle_t *handle = nullptr;
    const QByteArray serviceName = name.toLocal8Bit();
    const QByteArray userName = user.toLocal8Bit();
    const QByteArray folder = QFile::encodeName(confDir);
    int status = pam_start_confdir(serviceName.constData(), userName.constData(), &conversation,
                                   confDir.isEmpty() ? nullptr : folder.constData(), &handle);
    if (status != PAM_SUCCESS)
        return fail(ErrorCode::Refused, QStringLiteral("Cannot check the password: PAM does not start (%1).")
                                            .arg(QString::fromLocal8Bit(pam_strerror(handle, status))));
    status = pam_authenticate(handle, PAM_DISALLOW_NULL_AUTHTOK);
    if (status == PAM_SUCCESS)
        status = pam_acct_mgmt(handle, PAM_DISALLOW_NULL_AUTHTOK);
    const QString reason = QString::fromLocal8Bit(pam_strerror(handle, status));
    pam_end(handle, status);
    qCInfo(lcData) << "password check of" << user << "through" << name << ":" << reason;
    if (status != PAM_SUCCESS)
        return fail(ErrorCode::Refused, QStringLiteral("The user name or password is wrong."));
    return {};
}

QString signatureText(const AuditEntry &e)
{
    return QStringLiteral("%1, %2, %3").arg(AuditTrail::actorText(e), AuditTrail::localTimeText(e), e.newValue);
}

SigningSession::SigningSession(Authenticator authenticate, Clock clock)
    : m_authenticate(authenticate ? std::move(authenticate)
                                  : Authenticator([](const QString &user, const QByteArray &password) {
                                        return checkPassword(user, password);
                                    })),
      m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
{
}

QStringList SigningSession::meanings()
{
    return {QStringLiteral("reviewed"), QStringLiteral("approved"), QStringLiteral("released")};
}

Result<std::optional<QDateTime>> SigningSession::lockedUntil(Archive &archive, const QString &user)
{
    // The user's last signing attempts in the audit trail: locked while the
    // last MaxFailures all failed and the last of them is recent.
    AuditFilter filter;
    filter.user = user;
    Result<QList<AuditEntry>> entries = AuditTrail::list(archive, filter);
    if (!entries)
        return entries.failure();
    int failures = 0;
    QDateTime last;
    for (auto e = entries->crbegin(); e != entries->crend() && failures < MaxFailures; ++e) {
        if (e->kind == u"signature")
            break;
        if (e->kind != u"signature-failed")
            continue;
        if (failures == 0)
            last = e->whenUtc;
        ++failures;
    }
    if (failures < MaxFailures)
        return std::optional<QDateTime>();
    const QDateTime until = last.addSecs(LockSeconds);
    if (m_clock().toUTC() >= until)
        return std::optional<QDateTime>();
    return std::optional<QDateTime>(until);
}

Result<qint64> SigningSession::sign(Archive &archive, qint64 runId, const QString &meaning, const QString &user,
                                    const QByteArray &password)
{
    if (!meanings().contains(meaning))
        return fail(ErrorCode::Usage, QStringLiteral("The meaning of a signature is reviewed, approved or released."));
    const QString signer = m_user.isEmpty() ? user : m_user;
    const AuditActor actor = AuditActor::here();
    if (signer != actor.user)
        return fail(ErrorCode::Refused, QStringLiteral("Only %1, who runs this program, can sign here.").arg(actor.user));
    Result<ArchiveRunInfo> run = archive.run(runId);
    if (!run)
        return run.failure();
    Result<std::optional<QDateTime>> locked = lockedUntil(archive, signer);
    if (!locked)
        return locked.failure();
    if (*locked)
        return fail(ErrorCode::Refused, QStringLiteral("Signing is locked after %1 failed attempts until %2.")
                                            .arg(MaxFailures)
                                            .arg((*locked)->toLocalTime().toString(Qt::ISODate)));

    const QDateTime now = m_clock();
    AuditEntry e = AuditEntry::here(QStringLiteral("signature"));
    e.whenUtc = now.toUTC();
    e.utcOffsetSeconds = now.offsetFromUtc();
    e.runId = runId;
    e.samplesSha256 = run->samplesSha256;
    e.newValue = meaning;
    if (Result<> checked = m_authenticate(signer, password); !checked) {
        e.kind = QStringLiteral("signature-failed");
        if (Result<qint64> audited = AuditTrail::append(archive, e); !audited)
            return audited.failure();
        return checked.failure();
    }
    Result<qint64> id = AuditTrail::append(archive, e);
    if (id)
        m_user = signer;
    return id;
}
