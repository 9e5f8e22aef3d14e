#include "core/link/PortFactory.h"

#include "core/link/MemoryLine.h"
#include "core/link/QtSerialPort.h"

const PortFactory &PortFactory::standard()
{
    static const PortFactory factory;
    return factory;
}

void PortFactory::addLine(MemoryLine &line)
{
    m_lines.removeAll(nullptr);
    m_lines.append(&line);
}

MemoryLine *PortFactory::line(const QString &path) const
{
    for (const QPointer<MemoryLine> &l : m_lines) {
        if (l && l->path() == path)
            return l;
    }
    return nullptr;
}

QString PortFactory::devicePathFor(const QString &entryText) const
{
    if (entryText.isEmpty() || entryText.contains(QLatin1Char('/')) || line(entryText))
        return entryText;
    return QStringLiteral("/dev/") + entryText;
}

std::unique_ptr<SerialPort> PortFactory::create(const QString &path, qint32 baudRate) const
{
    if (MemoryLine *l = line(path))
        return std::make_unique<MemoryPort>(l);
    return std::make_unique<QtSerialPort>(path, baudRate);
}
