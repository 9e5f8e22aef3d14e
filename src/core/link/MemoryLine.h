#pragma once

#include "core/link/SerialPort.h"

#include <QByteArray>
#include <QPointer>
#include <QString>

#include <functional>

// An in-memory serial line: a device that port objects can open by its path
// once it is added to their PortFactory, one at a time, with a peer (the meter model, or a test) on the other end.
// The peer sees every write through onWrite and answers with deliver(); the
// bytes reach the open port as received bytes on the next event-loop pass, as
// they would on a wire.
class MemoryPort;

class MemoryLine : public QObject
{
    Q_OBJECT
public:
    explicit MemoryLine(const QString &path, QObject *parent = nullptr);
    ~MemoryLine() override;

    QString path() const { return m_path; }

    // Called with every block the program writes while a port is open.
    std::function<void(const QByteArray &)> onWrite;
    // Called when a port opens (true) or closes (false) the line.
    std::function<void(bool)> onOpenChanged;

    // Bytes from the peer towards the program. Dropped while no port is open.
    void deliver(const QByteArray &bytes);
    // The device vanishes: an open port closes itself with an error, and
    // later opens fail until setPresent(true).
    void setPresent(bool present);
    bool isPresent() const { return m_present; }
    bool isOpen() const { return m_openPort != nullptr; }
    // Makes every later open fail with this error (None: opens work again),
    // as a device the user has no permission for does.
    void setOpenFailure(SerialPort::OpenError error) { m_openFailure = error; }
    // A line that delivers faster than it is read (noise at full speed):
    // while set, every read leaves these bytes waiting again. Empty ends it.
    void setFlood(const QByteArray &bytes) { m_flood = bytes; }

private:
    friend class MemoryPort;
    QString m_path;
    bool m_present = true;
    SerialPort::OpenError m_openFailure = SerialPort::OpenError::None;
    QByteArray m_flood;
    QPointer<MemoryPort> m_openPort;
};

// A port object's backend for a MemoryLine.
class MemoryPort : public SerialPort
{
    Q_OBJECT
public:
    explicit MemoryPort(MemoryLine *line, QObject *parent = nullptr);
    ~MemoryPort() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    qint64 bytesWaiting() override;
    QByteArray read(qint64 n) override;
    qint64 write(const QByteArray &bytes) override;
    void clearInput() override;
    void clearOutput() override;

private:
    friend class MemoryLine;
    void arrive(const QByteArray &bytes);
    void lose();
    void announce();
    void emitReceived();
    void emitClosedByError();

    QPointer<MemoryLine> m_line;
    bool m_open = false;
    QByteArray m_inFlight;   // delivered by the peer, not yet "on the wire"
    QByteArray m_input;      // received, waiting to be read
    bool m_announcePending = false;
    // A real backend touches itself after its signals return; this one
    // refuses loudly to be destroyed inside them, so tests catch it.
    int m_emitting = 0;
};
