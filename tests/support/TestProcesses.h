#pragma once

#include "TestFiles.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A kv518-sim process on a pseudo-terminal. Its device path is a link of its
// own in a temporary folder (or the pseudo-terminal's path, which is the first
// line the simulator prints, when the arguments name a --link). Stopped
// (SIGTERM, then kill) when it goes out of scope.
class SimProcess
{
public:
    explicit SimProcess(const QStringList &arguments);
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    QString path() const { return m_path; }
    void stop();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_path;
};

// One run of kv518-cli: exit code (-1 when it crashed or hung), outputs.
struct CliRun
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};
#include <QProcessEnvironment>
// env: the environment kv518-cli runs in (default: this process's).
CliRun runCli(const QStringList &arguments, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
