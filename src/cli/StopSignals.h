#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGINT and SIGTERM into a signal on the event loop, so a command that
// runs until it is stopped can finish its output and close its port. One
// instance at a time; the previous handlers come back when it is destroyed.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    void stopRequested();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
