#pragma once

#include "core/link/MemoryLine.h"
#include "core/sim/ChunkScheduler.h"
#include "core/sim/MeterModel.h"

#include <QObject>

// The built-in simulated meter of "kv518 --demo": an in-memory line named
// "DEMO" with the meter model behind it, holding a few recorded data sets.
// While it exists, ComPort("DEMO") opens it like a serial port.
class DemoMeter : public QObject
{
    Q_OBJECT
public:
    static inline const QString DevicePath = QStringLiteral("DEMO");

    explicit DemoMeter(QObject *parent = nullptr);
    ~DemoMeter() override;

    MeterModel &model() { return m_model; }
    MemoryLine &line() { return m_line; }

private:
    MemoryLine m_line;
    MeterModel m_model;
    ChunkScheduler m_scheduler;
};
