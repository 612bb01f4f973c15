#include "engine/RunController.h"

#include "engine/MyConsumerItemThreadMod.h"
#include "engine/RunChannel.h"
#include "engine/RunSettings.h"
#include "engine/UpdateGUIThread.h"
#include "results/StringGridUtil.h"

#include <QtDebug>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <vector>

RunController::RunController(
    ResultsModel& rows, RunSettings& settings, JobFactory ThreadFunction, int startPauseMs, QObject* parent) :
    QObject(parent),
    m_rows(rows),
    m_settings(settings),
    m_threadFunction(std::move(ThreadFunction)),
    m_startWorker(&TMyConsumerItemMod::Create),
    m_startPauseMs(std::max(startPauseMs, 0))
{
    m_batchTimer.setInterval(BatchIntervalMs);
    connect(&m_batchTimer, &QTimer::timeout, this, &RunController::deliverBatch);
}

RunController::~RunController()
{
    // The controller thread never waits for this thread, so it always comes to its end; what it
    // posts here afterwards dies with this object.
    requestStop();
    if (m_aThreadStart.joinable())
        m_aThreadStart.join();
}

QString RunController::noPatternRefusal()
{
    return QStringLiteral("You cannot run because one or more rows haven't regular expressions\r\n"
                          "Remember that 'Regex Pattern' column is mandatory while 'Regex replacement' "
                          "column is optional");
}

QString RunController::fetchingPageText()
{
    return QStringLiteral("Fetching page...");
}

QString RunController::startRefusal() const
{
    for (int r = 0; r < m_rows.rowCount(); ++r)
        if (m_rows.cell(r, ColumnRegexPattern).isEmpty())
            return noPatternRefusal();
    return m_startCheck ? m_startCheck() : QString();
}

bool RunController::ButtonStartClick(QString* refusal)
{
    if (refusal)
        refusal->clear();
    // Taken here, on this thread, so a second click cannot start a second run.
    if (m_running || m_inEndHandler)
        return false;
    if (QString text = startRefusal(); !text.isEmpty()) {
        if (refusal)
            *refusal = std::move(text);
        return false;
    }

    ClearGridColumn(m_rows, ColumnMatchesNumber);
    ClearGridColumn(m_rows, ColumnMatches);
    std::vector<RowInput> inputs;
    inputs.reserve(size_t(m_rows.rowCount()));
    for (int r = 0; r < m_rows.rowCount(); ++r)
        inputs.push_back(
            { m_rows.cell(r, ColumnUrl), m_rows.cell(r, ColumnRegexPattern), m_rows.cell(r, ColumnRegexReplace) });
    m_channel = std::make_shared<RunChannel>(std::move(inputs));
    m_summary = RunSummary();
    m_summary.rows = m_channel->rowCount();
    m_stopRequested = false;
    m_running = true;
    // Edits of the inputs reach jobs that have not started yet.
    m_editForwarding = connect(&m_rows, &QAbstractItemModel::dataChanged, this, &RunController::forwardEdits);
    // Before the controller thread exists: an Abort pressed now is cleared by it after the pause.
    Q_EMIT runStarted();
    try {
        m_aThreadStart = std::thread([this] { controllerThread(); });
    } catch (...) {
        m_running = false;
        disconnect(m_editForwarding);
        throw;
    }
    m_batchTimer.start();
    return true;
}

void RunController::ButtonAbortClick()
{
    m_settings.StopThreadingFlag = true;
}

void RunController::requestStop()
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_stopRequested = true;
    }
    m_settings.StopThreadingFlag = true;
    m_pauseWake.notify_all();
}

void RunController::setStartCheck(std::function<QString()> check)
{
    m_startCheck = std::move(check);
}

void RunController::setWorkerStarter(WorkerStarter starter)
{
    m_startWorker = std::move(starter);
}

void RunController::forwardEdits(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    if (!m_channel || topLeft.column() > ColumnRegexReplace)
        return;
    const int lastColumn = std::min(bottomRight.column(), int(ColumnRegexReplace));
    for (int r = topLeft.row(); r <= bottomRight.row(); ++r)
        for (int c = topLeft.column(); c <= lastColumn; ++c)
            m_channel->setInput(r, c, m_rows.cell(r, c));
}

void RunController::controllerThread()
{
    try {
        ParallelPing2();
    } catch (const std::exception& e) {
        qWarning("run controller: %s", e.what());
    } catch (...) {
        qWarning("run controller: unknown error");
    }
    // Queued: it runs on this object's thread after this thread has ended, or never when the
    // object is gone by then.
    QMetaObject::invokeMethod(this, &RunController::ExtractionThreadTerminated, Qt::QueuedConnection);
}

void RunController::ParallelPing2()
{
    const std::shared_ptr<RunChannel> run = m_channel;
    const int rows = run->rowCount();
    {
        std::unique_lock lock(m_pauseMutex);
        m_pauseWake.wait_for(
            lock, std::chrono::milliseconds(m_startPauseMs), [this] { return m_stopRequested.load(); });
    }
    // An Abort during the pause is forgotten; a stop request is not.
    m_settings.StopThreadingFlag = m_stopRequested.load();
    m_threadsNumber = std::max(1, m_settings.ThreadCount.load());
    const int W = std::min(rows, m_threadsNumber.load());
    m_summary.workers = W;

    const auto began = std::chrono::steady_clock::now();
    std::unique_ptr<TUpdateGUIThread> clock;
    try {
        clock = std::make_unique<TUpdateGUIThread>([run](std::chrono::milliseconds t) { run->setElapsed(t); });
    } catch (const std::exception& e) {
        qWarning("run controller: no clock thread: %s", e.what());
    }

    std::mutex takeLock;
    JobQueue queue(JobQueue::DefaultCapacity);
    std::vector<std::thread> workers;
    for (int i = 0; i < W; ++i) {
        try {
            workers.push_back(m_startWorker(queue, takeLock));
        } catch (const std::exception& e) {
            qWarning("run controller: worker %d of %d not started: %s", i + 1, W, e.what());
        } catch (...) {
            qWarning("run controller: worker %d of %d not started", i + 1, W);
        }
    }
    try {
        // push() lets go once no worker is left (all ended through errors): the rows not queued by
        // then are dropped and keep the empty cells of the run's start.
        for (int m = 0; m < rows; ++m) {
            Job job = m_threadFunction(m, *run);
            // An error escaping the job still ends its worker, but is logged and leaves the row
            // with a count and the reason.
            Job guarded = [job = std::move(job), run, m] {
                try {
                    job();
                } catch (const std::exception& e) {
                    qWarning("row %d: job failed: %s", m + 1, e.what());
                    run->rowFailed(m, QStringLiteral("job failed: %1").arg(QString::fromUtf8(e.what())));
                    throw;
                } catch (...) {
                    qWarning("row %d: job failed", m + 1);
                    run->rowFailed(m, QStringLiteral("job failed"));
                    throw;
                }
            };
            if (!queue.push(std::move(guarded)))
                break;
        }
    } catch (const std::exception& e) {
        // A job that could not be made ends the queuing; the stop signals still end the run.
        qWarning("run controller: queuing ended: %s", e.what());
    } catch (...) {
        qWarning("run controller: queuing ended");
    }
    for (size_t i = 0; i < workers.size(); ++i)
        if (!queue.push(Job()))
            break;
    for (std::thread& w : workers)
        w.join();
    m_summary.workersStarted = int(workers.size());
    clock.reset();
    m_summary.elapsedMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began).count();

    const RunTally& tally = run->tally();
    const int started = tally.started;
    const int completed = tally.completed;
    m_summary.started = started;
    m_summary.failed = tally.failed + (started - completed);
    m_summary.fetched = completed - tally.failed;
    m_summary.notRun = rows - started;
    m_summary.matches = tally.matches;
}

void RunController::deliverBatch()
{
    if (!m_channel)
        return;
    const RunProgress batch = m_channel->take();
    if (batch.isEmpty())
        return;
    int first = m_rows.rowCount();
    int last = -1;
    const auto touch = [&](int row) {
        first = std::min(first, row);
        last = std::max(last, row);
    };
    const QString fetching = fetchingPageText();
    for (const int row : batch.started) {
        if (row < m_rows.rowCount()) {
            m_rows.setCellQuietly(row, ColumnMatchesNumber, fetching);
            touch(row);
        }
    }
    for (const RowResult& r : batch.results) {
        if (r.row < m_rows.rowCount()) {
            m_rows.setCellQuietly(r.row, ColumnMatchesNumber, QString::number(r.count));
            m_rows.setCellQuietly(r.row, ColumnMatches, r.matches);
            m_rows.setMatchValuesQuietly(r.row, r.values);
            m_rows.setOutcomeQuietly(r.row, r.outcome);
            touch(r.row);
        }
    }
    if (last >= 0)
        m_rows.notifyCellsChanged(first, last, ColumnMatchesNumber, ColumnMatches);
    Q_EMIT progress(batch);
}

void RunController::ExtractionThreadTerminated()
{
    if (m_aThreadStart.joinable())
        m_aThreadStart.join();
    m_batchTimer.stop();
    disconnect(m_editForwarding);
    deliverBatch();
    m_running = false;
    m_summary.aborted = m_settings.StopThreadingFlag;
    m_summary.stopped = m_stopRequested;
    m_summary.message
        = m_summary.aborted ? QStringLiteral("Extraction aborted") : QStringLiteral("Extraction terminated");
    const RunSummary summary = m_summary;
    m_inEndHandler = true;
    // Runs from the event loop: nothing may escape into it.
    try {
        Q_EMIT finished(summary);
    } catch (const std::exception& e) {
        qWarning("end of run: %s", e.what());
    } catch (...) {
        qWarning("end of run: unknown error");
    }
    m_inEndHandler = false;
}
