#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

// The meter's end of a pseudo-terminal: the program opens slavePath() as its
// serial port. The slave is kept open here too, in raw mode, so the master
// reads nothing but the program's bytes and never sees a hang-up between the
// program's opens.
class PseudoTerminal : public QObject
{
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    bool open();
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_error; }

    void write(const QByteArray &bytes);
    // Closes the master: the program's port then fails as on an unplugged cable.
    void hangUp();

Q_SIGNALS:
    void received(const QByteArray &bytes);

private:
    void onReadable();
    void onWritable();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
    QByteArray m_pending;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
};
