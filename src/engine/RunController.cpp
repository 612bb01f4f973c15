#include "engine/RunController.h"

#include "engine/CountdownEvent.h"
#include "engine/MyConsumerItemThreadMod.h"
#include "engine/RunSettings.h"
#include "engine/UiHandOff.h"
#include "engine/UpdateGUIThread.h"
#include "results/StringGridUtil.h"

#include <algorithm>
#include <chrono>
#include <memory>

RunController::RunController(
    UiHandOff& handOff, RunSettings& settings, JobFactory ThreadFunction, int startPauseMs) :
    m_handOff(handOff),
    m_settings(settings),
    m_threadFunction(std::move(ThreadFunction)),
    m_startWorker(&TMyConsumerItemMod::Create),
    m_startPauseMs(std::max(startPauseMs, 0))
{
}

RunController::~RunController()
{
    if (m_aThreadStart.joinable())
        m_aThreadStart.join();
}

QString RunController::noPatternRefusal()
{
    return QStringLiteral("You cannot run because one or more rows haven't regular expressions\r\n"
                          "Remember that 'Regex Pattern' column is mandatory while 'Regex replacement' "
                          "column is optional");
}

QString RunController::startRefusal() const
{
    const ResultsModel& grid = m_handOff.grid();
    for (int r = 0; r < grid.rowCount(); ++r)
        if (grid.cell(r, ColumnRegexPattern).isEmpty())
            return noPatternRefusal();
    return m_startCheck ? m_startCheck() : QString();
}

bool RunController::ButtonStartClick()
{
    // The flag is taken here, on the UI thread, so a second click before the window has switched
    // to its running state cannot start a second run.
    // Also refused from inside the end handler: that runs in the last hand-off of the previous
    // controller thread, which could not be collected until the handler has returned.
    if (m_running.load() || m_inEndHandler)
        return false;
    const QString refusal = startRefusal();
    if (!refusal.isEmpty()) {
        m_handOff.showMessage(refusal);
        return false;
    }
    // The previous run's thread has made its last hand-off already; this only collects it.
    if (m_aThreadStart.joinable())
        m_aThreadStart.join();
    m_running = true;
    try {
        m_aThreadStart = std::thread([this] { controllerThread(); });
    } catch (...) {
        m_running = false;
        throw;
    }
    return true;
}

void RunController::ButtonAbortClick()
{
    m_settings.StopThreadingFlag = true;
}

void RunController::setStartCheck(std::function<QString()> check)
{
    m_startCheck = std::move(check);
}

void RunController::setFinishedHandler(std::function<void(const RunSummary&)> handler)
{
    m_onFinished = std::move(handler);
}

void RunController::setWorkerStarter(WorkerStarter starter)
{
    m_startWorker = std::move(starter);
}

void RunController::controllerThread()
{
    try {
        ParallelPing2();
    } catch (...) {
        // Only the hand-off itself can fail here (no UI thread any more); nothing to tell.
    }
    try {
        m_handOff.runOnUiThread([this] {
            m_running = false;
            m_inEndHandler = true;
            try {
                ExtractionThreadTerminated();
            } catch (...) {
                m_inEndHandler = false;
                throw;
            }
            m_inEndHandler = false;
        });
    } catch (...) {
        m_running = false;
    }
}

void RunController::ParallelPing2()
{
    int rows = 0;
    m_handOff.runOnUiThread([&] {
        m_handOff.EnableDisableOnStart(true);
        ClearGridColumn(m_handOff.grid(), ColumnMatchesNumber);
        ClearGridColumn(m_handOff.grid(), ColumnMatches);
        m_handOff.setCompletedText(QStringLiteral("0"));
        // The controls that change the rows are disabled from here on, so the count holds.
        rows = m_handOff.grid().rowCount();
    });

    if (m_startPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_startPauseMs));
    m_settings.StopThreadingFlag = false;
    m_threadsNumber = std::max(1, m_settings.ThreadCount.load());
    const int W = rows > m_threadsNumber ? m_threadsNumber.load() : rows;

    m_tally.reset();
    m_summary = RunSummary();
    m_summary.rows = rows;
    m_summary.workers = W;

    std::unique_ptr<TUpdateGUIThread> clock;
    const auto began = std::chrono::steady_clock::now();
    {
        // Declared so that they go in the order countdown, queue, lock once every worker has ended.
        std::mutex takeLock;
        JobQueue queue(JobQueue::DefaultCapacity);
        CountdownEvent countdown(W);
        try {
            clock = std::make_unique<TUpdateGUIThread>(m_handOff);
        } catch (...) {
            // No thread for the clock: the run goes on without a ticking time label.
        }

        int workersStarted = 0;
        try {
            for (int i = 0; i < W; ++i) {
                try {
                    m_startWorker(queue, countdown, takeLock);
                    ++workersStarted;
                } catch (...) {
                    // Count only the workers that exist, or the wait below would never end.
                    countdown.signal();
                }
            }
            // push() lets go once no worker is left (all ended through errors): the rows not
            // queued by then are dropped and keep the empty cells of the run's start.
            for (int m = 0; m < rows; ++m)
                if (!queue.push(m_threadFunction(m, m_tally)))
                    break;
        } catch (...) {
            // A job that could not be made ends the queuing; the stop signals still end the run.
        }
        for (int i = 0; i < W; ++i)
            if (!queue.push(Job()))
                break;
        countdown.wait();
        m_summary.workersStarted = workersStarted;
    }
    m_summary.elapsedMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began).count();
    clock.reset();

    const int started = m_tally.started;
    const int completed = m_tally.completed;
    m_summary.started = started;
    m_summary.failed = m_tally.failed + (started - completed);
    m_summary.fetched = completed - m_tally.failed;
    m_summary.notRun = rows - started;
    m_summary.matches = m_tally.matches;

    m_handOff.runOnUiThread([this] { m_handOff.EnableDisableOnStart(false); });
}

void RunController::ExtractionThreadTerminated()
{
    m_summary.aborted = m_settings.StopThreadingFlag;
    m_handOff.showMessage(
        m_summary.aborted ? QStringLiteral("Extraction aborted") : QStringLiteral("Extraction terminated"));
    if (m_onFinished)
        m_onFinished(m_summary);
}
