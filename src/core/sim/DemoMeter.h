#pragma once

#include "core/link/MemoryLine.h"
#include "core/link/PortFactory.h"
#include "core/sim/ChunkScheduler.h"
#include "core/sim/MeterModel.h"

#include <QObject>

// The built-in simulated meter of "kv518 --demo": an in-memory line named
// "DEMO" with the meter model behind it, holding a few recorded data sets.
// Its line is added to the given port factory, so that while it exists a port
// made there opens "DEMO" like a serial port.
class DemoMeter : public QObject
{
    Q_OBJECT
public:
    static inline const QString DevicePath = QStringLiteral("DEMO");

    explicit DemoMeter(PortFactory &ports, QObject *parent = nullptr);
    ~DemoMeter() override;

    MeterModel &model() { return m_model; }
    MemoryLine &line() { return m_line; }

private:
    MemoryLine m_line;
    MeterModel m_model;
    ChunkScheduler m_scheduler;
};
