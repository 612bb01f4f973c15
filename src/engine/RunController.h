#pragma once

#include "engine/JobQueue.h"
#include "engine/RunEvents.h"
#include "engine/RunSummary.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class ResultsModel;
class RunChannel;
struct RunSettings;

// Makes the job of row m (0-based); called on the controller thread, once per row, in row order.
using JobFactory = std::function<Job(int m, RunChannel& run)>;
// Creates and starts one worker of a run on its queue and take lock; throws when it cannot.
using WorkerStarter = std::function<std::thread(JobQueue&, std::mutex&)>;

// Runs one extraction at a time over the rows of the row store. Start takes a view of the rows'
// inputs and returns at once; a controller thread sizes the pool, queues one job per row and joins
// the workers. What the jobs do comes back to this object's thread in batches (at most every
// BatchInterval), is written into the row store with one change notification per batch and is
// announced by progress(); the end comes as finished(). The engine never waits for this thread.
// Thread affinity: created, used and destroyed on one thread with an event loop (the UI thread).
// Destroying it during a run stops the run and joins every thread of it.
class RunController : public QObject
{
    Q_OBJECT
public:
    static constexpr int StartPauseMs = 2000;
    static constexpr int BatchIntervalMs = 50;

    RunController(ResultsModel& rows, RunSettings& settings, JobFactory ThreadFunction,
        int startPauseMs = StartPauseMs, QObject* parent = nullptr);
    ~RunController() override;

    // The refusal text of the first check that fails, or an empty text when a run may start:
    // a row without a pattern first, then the extra check (setStartCheck).
    QString startRefusal() const;
    // Start: true once the run has started (runStarted() has then been emitted). False with the
    // refusal text in *refusal when a check fails, and false with an empty text while a run is under
    // way or its finished() handler runs.
    bool ButtonStartClick(QString* refusal = nullptr);
    // Abort: raises the abort flag and nothing else; jobs test it when they start.
    void ButtonAbortClick();
    // Abort on behalf of the owner (closing, a signal): the start pause ends at once and the
    // summary is marked stopped, so no end message is due.
    void requestStop();
    bool isRunning() const { return m_running; }
    bool isStopping() const { return m_stopRequested; }

    // A second refusal rule, asked after the pattern rule (for "Enable proxies" with no proxy).
    void setStartCheck(std::function<QString()> check);
    // Replaces how workers are made (tests make it fail).
    void setWorkerStarter(WorkerStarter starter);

    // The thread count the latest run took.
    int ThreadsNumber() const { return m_threadsNumber.load(); }
    // The channel of the run under way, or of the latest one; null before the first.
    RunChannel* channel() const { return m_channel.get(); }

    static QString noPatternRefusal();
    static QString fetchingPageText();

Q_SIGNALS:
    // The run has begun: columns 3 and 4 are empty, the window goes to its running state.
    void runStarted();
    // A batch has been written into the row store.
    void progress(const RunProgress& batch);
    // The run has ended and every thread of it has been joined.
    void finished(const RunSummary& summary);

private:
    void controllerThread();
    void ParallelPing2();
    // This object's thread.
    void deliverBatch();
    void ExtractionThreadTerminated();
    void forwardEdits(const QModelIndex& topLeft, const QModelIndex& bottomRight);

    ResultsModel& m_rows;
    RunSettings& m_settings;
    JobFactory m_threadFunction;
    WorkerStarter m_startWorker;
    std::function<QString()> m_startCheck;
    const int m_startPauseMs;

    bool m_running = false;
    bool m_inEndHandler = false;
    std::atomic<bool> m_stopRequested { false };
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseWake;
    std::atomic<int> m_threadsNumber { 0 };
    std::shared_ptr<RunChannel> m_channel;
    QTimer m_batchTimer;
    QMetaObject::Connection m_editForwarding;
    // Written by the controller thread before it ends, read here after it has been joined.
    RunSummary m_summary;
    // aThreadStart: the controller thread of the run under way.
    std::thread m_aThreadStart;
};
