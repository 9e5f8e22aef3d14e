#pragma once

// A kv518-sim process for the benchmarks that need a meter on a
// pseudo-terminal: started with arguments, its device path read from the
// first line it prints, stopped when it goes out of scope.

#include "core/link/ConnectionMonitor.h"

#include <QEventLoop>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

struct BenchSim
{
    QProcess process;
    QString path;

    bool start(const QStringList &args)
    {
        process.setProgram(QStringLiteral(KV518_SIM_PATH));
        process.setArguments(args);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(5000))
            return false;
        while (!process.canReadLine() && process.waitForReadyRead(5000)) {
        }
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !path.isEmpty();
    }

    ~BenchSim()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

// Searches for the meter and waits for the search to end (ten seconds at
// most); true when a meter answered.
inline bool searchMeter(ConnectionMonitor &monitor)
{
    QEventLoop search;
    QObject::connect(&monitor, &ConnectionMonitor::searchFinished, &search, &QEventLoop::quit);
    QTimer::singleShot(10000, &search, &QEventLoop::quit);
    monitor.searchMeter();
    search.exec();
    return monitor.isConnected();
}
