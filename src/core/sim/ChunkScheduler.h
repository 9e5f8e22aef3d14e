#pragma once

#include "core/sim/MeterModel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

// Sends the meter model's answers in order: each chunk delayMs after the
// previous one has gone out, optionally paced at wire speed. A chunk that is due
// at once goes out inside push(), so a polled exchange on an in-memory line
// finds the answer waiting without an event loop.
class ChunkScheduler : public QObject
{
    Q_OBJECT
public:
    // msPerByte 0 sends as fast as the line takes it; 10 bits / 19200 baud is 0.52.
    ChunkScheduler(std::function<void(const QByteArray &)> write, std::function<void()> hangUp,
                   double msPerByte = 0.0, QObject *parent = nullptr);

    void push(const QList<MeterModel::Chunk> &chunks);
    void clear();
    bool isIdle() const { return m_queue.empty(); }

    static constexpr double WireMsPerByte = 10.0 * 1000.0 / 19200.0;

private:
    struct Item {
        double startMs;
        QByteArray bytes;
        qsizetype sent = 0;
        bool hangUp = false;
    };
    double nowMs() const { return double(m_clock.nsecsElapsed()) / 1e6; }
    void run();
    void arm();

    std::function<void(const QByteArray &)> m_write;
    std::function<void()> m_hangUp;
    double m_msPerByte;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::deque<Item> m_queue;
    double m_lineFreeAt = 0.0;
};
