#pragma once

#include "core/link/SerialPort.h"

#include <QSerialPort>

// A real serial device (or a pseudo-terminal) through QSerialPort.
class QtSerialPort : public SerialPort
{
    Q_OBJECT
public:
    explicit QtSerialPort(const QString &devicePath, qint32 baudRate = 19200,
                          QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    qint64 bytesWaiting() override;
    QByteArray read(qint64 n) override;
    qint64 write(const QByteArray &bytes) override;
    void clearInput() override;
    void clearOutput() override;

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    // Set on the first fatal error: the port counts as closed at once, even
    // before the queued close has run, so no wait loop spins on a dead device.
    bool m_failed = false;
    quint64 m_openCount = 0;
    QString m_path;
    qint32 m_baudRate;
};
