#pragma once

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

class MemoryLine;
class SerialPort;

// Makes the backend a port object opens: the in-memory line registered under
// the path (the demo meter, tests), otherwise the serial device through
// QSerialPort. The program owns one and hands it to every port it creates.
class PortFactory
{
public:
    // Lines are not owned; a destroyed line is forgotten.
    void addLine(MemoryLine &line);
    MemoryLine *line(const QString &path) const;

    // The device a port box entry names: a path as it is, a registered line by
    // its name, otherwise a name under /dev ("ttyUSB0" means /dev/ttyUSB0).
    QString devicePathFor(const QString &entryText) const;

    std::unique_ptr<SerialPort> create(const QString &path, qint32 baudRate) const;

private:
    QList<QPointer<MemoryLine>> m_lines;
};
