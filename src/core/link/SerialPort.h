#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// A serial port as the meter link uses it: 19200 baud, 8 data bits, no parity,
// one stop bit, opened exclusively.
//
// Calls on a closed or failed port fail softly: write() sends nothing,
// bytesWaiting() is 0 and read() returns nothing. Every handler therefore runs to its end; the cause stays available in
// lastError() for diagnostics and is never shown.
//
// The receive event is the received() signal. It is emitted on the thread that
// owns the port (the user-interface thread) when bytes arrive. "Attaching a
// receive handler" means connecting to it. Nothing waits on a port: the meter
// flows are driven by this signal and by the clock.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    // Why the last open() failed, as far as the user can act on it.
    enum class OpenError {
        None,
        PermissionDenied, // the user may not use the device (not in its group)
        Watched,          // kv518-cli watch holds it (lastError() says which process)
        Other,            // missing, busy or broken
    };
    Q_ENUM(OpenError)

    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens the device exclusively and clears input and output. On failure the
    // port stays closed and false is returned.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Bytes received and not yet read.
    virtual qint64 bytesWaiting() = 0;
    // Takes up to n waiting bytes.
    virtual QByteArray read(qint64 n) = 0;
    // Sends the bytes and returns the number handed to the line (0 when closed).
    virtual qint64 write(const QByteArray &bytes) = 0;
    virtual void clearInput() = 0;
    virtual void clearOutput() = 0;

    QString lastError() const { return m_lastError; }
    OpenError openError() const { return m_openError; }

Q_SIGNALS:
    // Bytes have arrived (the receive event).
    void received();
    // The device went away or failed; the port has closed itself.
    void closedByError();

protected:
    void setLastError(const QString &text) { m_lastError = text; }
    void setOpenError(OpenError error) { m_openError = error; }

private:
    QString m_lastError;
    OpenError m_openError = OpenError::None;
};
