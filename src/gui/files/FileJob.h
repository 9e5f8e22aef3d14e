#pragma once

#include <QObject>

#include <atomic>
#include <functional>

class QThread;

// Reads or writes a data file on a thread of its own, so the window thread
// keeps painting the progress window and taking its Cancel button without a
// nested event loop. The work touches only what it was handed (copies of the
// points, its own texts); everything on screen is done on the window thread
// when `finished` arrives.
class FileJob final : public QObject
{
    Q_OBJECT
public:
    using Work = std::function<void(FileJob &job)>;

    // How the job ends when it is destroyed before it has finished (the
    // program closing): a read is cancelled, a write is left to complete, as
    // a cancel would keep a partial file in place of the earlier one.
    enum class OnDestroy { Cancel, Complete };

    explicit FileJob(Work work, OnDestroy onDestroy, QObject *parent = nullptr);
    // Waits for the work: nothing the work uses may go first.
    ~FileJob() override;

    void start();
    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }

    // Called by the work with the count of lines done; tells it whether to go on.
    bool report(qint64 count);

Q_SIGNALS:
    // On the window thread.
    void progressed(qint64 count);
    void finished();

private:
    Work m_work;
    OnDestroy m_onDestroy;
    QThread *m_thread = nullptr;
    std::atomic<bool> m_cancelled = false;
};
