#pragma once

#include "core/link/SerialPort.h"
#include "core/link/TransferLog.h"

#include <QList>

class PortFactory;

// The program's port object (Comm1, Comm2, Comm3): a device path and a baud
// rate set while closed, and a backend made by the port factory at every open:
// a path registered there as an in-memory line (the demo meter, tests) opens
// that line; anything else, and every path without a factory, opens the
// serial device with QSerialPort.
//
// A handler of received() or closedByError() may close and reopen the port
// while the old backend is still inside that emission further down the stack.
// A replaced backend is therefore closed and cut off at once but only deleted
// once no emission of this port is running.
//
// Every chunk written or read goes into the factory's transfer log, and every
// open, close and failure leaves one line in kv518.link.
class ComPort : public SerialPort
{
    Q_OBJECT
public:
    explicit ComPort(QObject *parent = nullptr);
    ~ComPort() override;

    // Not owned; it must outlive the port. Takes effect at the next open.
    // Without one, the port uses PortFactory::standard().
    void setPortFactory(const PortFactory *factory) { m_factory = factory; }
    const PortFactory &portFactory() const;

    void setDeviceName(const QString &path) { m_deviceName = path; }
    QString deviceName() const { return m_deviceName; }
    void setBaudRate(qint32 rate) { m_baudRate = rate; }
    qint32 baudRate() const { return m_baudRate; }

    bool open() override;
    void close() override;
    bool isOpen() const override;
    qint64 bytesWaiting() override;
    QByteArray read(qint64 n) override;
    qint64 write(const QByteArray &bytes) override;
    void clearInput() override;
    void clearOutput() override;

private:
    void onBackendReceived();
    void onBackendClosedByError();
    void retireBackend();
    void disposeRetired();
    void openFailed(const QString &reason);

    const PortFactory *m_factory = nullptr;
    TransferChannel m_trace;
    // The device and reason of the last failed open; the same failure again,
    // as the poll's retries bring it every tick, is only a debug line.
    QString m_lastFailedDevice;
    QString m_lastOpenFailure;
    QString m_deviceName;
    qint32 m_baudRate = 19200;
    SerialPort *m_backend = nullptr; // a child of this port
    QList<SerialPort *> m_retired;   // children waiting for the emissions to end
    int m_emitting = 0;              // nested relays of a backend's signal
};
