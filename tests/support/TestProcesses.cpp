#include "TestProcesses.h"

#include <QFile>

namespace {
constexpr int ProcessLimitMs = 60000;
}

SimProcess::SimProcess(const QStringList &arguments)
{
    // The program retries a port that went away, and a pseudo-terminal number
    // freed by one simulator is soon reused by another test's simulator: reach
    // each simulator through a link of its own, which goes away with it.
    QStringList args = arguments;
    QString link;
    if (!arguments.contains(QStringLiteral("--link")) && m_dir.isValid()) {
        link = m_dir.filePath(QStringLiteral("meter"));
        args << QStringLiteral("--link") << link;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(KV518_SIM_PATH), args);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(ProcessLimitMs)) {
    }
    m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (!m_path.isEmpty() && !link.isEmpty())
        m_path = link;
}

SimProcess::~SimProcess()
{
    stop();
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(ProcessLimitMs))
        m_process.kill();
}

CliRun runCli(const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KV518_CLI_PATH), arguments);
    if (!p.waitForFinished(ProcessLimitMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}
