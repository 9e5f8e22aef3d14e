#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair for tests of the real serial backend: the program
// opens slavePath() like a serial device; the test plays the far end on the
// master side. Closing the master is a hang-up (the device went away).
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    QString slavePath() const { return m_slavePath; }
    QString errorText() const { return m_error; }
    // The master side (non-blocking), for a test that relays the line itself.
    int masterFd() const { return m_master; }

    // Bytes from the far end to the program. Returns the number written.
    qint64 writeMaster(const QByteArray &bytes);
    // What the program has sent, waiting until at least n bytes have come or
    // timeoutMs has passed (without processing events: the program's write is
    // complete when it returns).
    QByteArray readMaster(int n, int timeoutMs = 2000);
    // Hangs up: the program's side then fails on its next read.
    void closeMaster();

private:
    int m_master = -1;
    QString m_slavePath;
    QString m_error;
};
