#include "TestProcesses.h"

#include <QFile>

namespace {
constexpr int ProcessLimitMs = 60000;
}

SimProcess::SimProcess(const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(KV518_SIM_PATH), arguments);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(ProcessLimitMs)) {
    }
    m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
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

CliRun runCli(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(KV518_CLI_PATH), arguments);
    if (!p.waitForFinished(ProcessLimitMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}
