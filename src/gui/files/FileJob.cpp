#include "gui/files/FileJob.h"

#include <QThread>

FileJob::FileJob(Work work, OnDestroy onDestroy, QObject *parent)
    : QObject(parent)
    , m_work(std::move(work))
    , m_onDestroy(onDestroy)
{
}

FileJob::~FileJob()
{
    if (m_onDestroy == OnDestroy::Cancel)
        cancel();
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void FileJob::start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] { m_work(*this); });
    // Emitted on the worker thread; queued to this object's (the window) thread.
    connect(m_thread, &QThread::finished, this, &FileJob::finished);
    m_thread->start();
}

bool FileJob::report(qint64 count)
{
    Q_EMIT progressed(count);
    return !m_cancelled;
}
