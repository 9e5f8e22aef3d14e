#include "core/sim/ChunkScheduler.h"

#include <cmath>

ChunkScheduler::ChunkScheduler(std::function<void(const QByteArray &)> write, std::function<void()> hangUp,
                               double msPerByte, QObject *parent)
    : QObject(parent)
    , m_write(std::move(write))
    , m_hangUp(std::move(hangUp))
    , m_msPerByte(msPerByte)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ChunkScheduler::run);
}

void ChunkScheduler::push(const QList<MeterModel::Chunk> &chunks)
{
    for (const MeterModel::Chunk &c : chunks) {
        const double start = std::max(nowMs(), m_lineFreeAt) + c.delayMs;
        m_lineFreeAt = start + double(c.bytes.size()) * m_msPerByte;
        m_queue.push_back({start, c.bytes, 0, c.hangUp});
    }
    run();
}

void ChunkScheduler::clear()
{
    m_queue.clear();
    m_timer.stop();
    m_lineFreeAt = 0.0;
}

void ChunkScheduler::run()
{
    while (!m_queue.empty()) {
        Item &item = m_queue.front();
        const double now = nowMs();
        if (now < item.startMs)
            break;
        qsizetype due = item.bytes.size();
        if (m_msPerByte > 0.0)
            due = std::min<qsizetype>(due, qsizetype(std::floor((now - item.startMs) / m_msPerByte)) + 1);
        if (due > item.sent) {
            const QByteArray piece = item.bytes.mid(item.sent, due - item.sent);
            item.sent = due;
            m_write(piece);
        }
        if (item.sent < item.bytes.size())
            break;
        const bool hangUp = item.hangUp;
        m_queue.pop_front();
        if (hangUp) {
            m_queue.clear();
            m_hangUp();
            return;
        }
    }
    arm();
}

void ChunkScheduler::arm()
{
    if (m_queue.empty())
        return;
    const Item &item = m_queue.front();
    const double next = item.startMs + double(item.sent) * m_msPerByte;
    m_timer.start(std::max(0, int(std::ceil(next - nowMs()))));
}
