#include "core/sim/DemoMeter.h"

DemoMeter::DemoMeter(PortFactory &ports, QObject *parent)
    : QObject(parent)
    , m_line(DevicePath)
    , m_model(518)
    , m_scheduler([this](const QByteArray &bytes) { m_line.deliver(bytes); },
                  [this] { m_line.setPresent(false); })
{
    ports.addLine(m_line);
    m_model.setImage(MeterModel::generateImage(3, 240, 518));
    m_line.onWrite = [this](const QByteArray &bytes) { m_scheduler.push(m_model.receive(bytes)); };
    // Answers meant for a port that has since closed are not heard by the next one.
    m_line.onOpenChanged = [this](bool) { m_scheduler.clear(); };
}

DemoMeter::~DemoMeter()
{
    m_line.onWrite = nullptr;
    m_line.onOpenChanged = nullptr;
}
