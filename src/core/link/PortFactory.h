#pragma once

#include "core/link/TransferLog.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

class MemoryLine;
class SerialPort;

// Makes the backend a port object opens: the in-memory line registered under
// the path (the demo meter, tests), otherwise the serial device through
// QSerialPort. The program owns one and hands it to every port it creates.
// Every port object that opens through it records its traffic in its
// transfer log.
class PortFactory
{
public:
    PortFactory() = default;
    Q_DISABLE_COPY_MOVE(PortFactory)

    // What a port object without a factory of its own uses: the system's
    // serial devices, no in-memory lines (kv518-cli, the benchmarks).
    static const PortFactory &standard();

    // Lines are not owned; a destroyed line is forgotten.
    void addLine(MemoryLine &line);
    MemoryLine *line(const QString &path) const;

    // The device a port box entry names: a path as it is, a registered line by
    // its name, otherwise a name under /dev ("ttyUSB0" means /dev/ttyUSB0).
    QString devicePathFor(const QString &entryText) const;

    std::unique_ptr<SerialPort> create(const QString &path, qint32 baudRate) const;

    // The traffic of the ports made from this factory. Recording into it
    // changes nothing about the backends the factory makes.
    TransferLog &transferLog() const { return m_transferLog; }

private:
    QList<QPointer<MemoryLine>> m_lines;
    mutable TransferLog m_transferLog;
};
