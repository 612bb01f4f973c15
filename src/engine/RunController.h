#pragma once

#include "engine/JobQueue.h"
#include "engine/RunSummary.h"
#include "engine/RunTally.h"

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class CountdownEvent;
class UiHandOff;
struct RunSettings;

// Makes the job of row m (0-based); called on the controller thread, once per row, in row order.
using JobFactory = std::function<Job(int m, RunTally& tally)>;
// Creates and starts one worker of a run (TMyConsumerItemMod::Create); throws when it cannot.
using WorkerStarter = std::function<void(JobQueue&, CountdownEvent&, std::mutex&)>;

// Runs one extraction at a time over the rows of the hand-off's grid: a controller thread sizes
// the pool, queues one job per row and waits for the workers; every window change goes through
// the hand-off.
// Thread affinity: created, used and destroyed on the UI thread. ParallelPing2 runs on the
// controller thread of each run. Destroy it only once no run is under way (isRunning() false):
// a run still going needs the UI thread to end.
class RunController
{
public:
    static constexpr int StartPauseMs = 2000;

    RunController(
        UiHandOff& handOff, RunSettings& settings, JobFactory ThreadFunction, int startPauseMs = StartPauseMs);
    ~RunController();

    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // The refusal text of the first check that fails, or an empty text when a run may start:
    // a row without a pattern first, then the extra check (setStartCheck). UI thread.
    QString startRefusal() const;
    // Start: shows the refusal and returns false, or starts the controller thread and returns
    // true at once. Ignored (false) while a run is under way, its end handler included. UI thread.
    bool ButtonStartClick();
    // Abort: raises the abort flag and nothing else; jobs test it when they start.
    void ButtonAbortClick();
    bool isRunning() const { return m_running.load(); }

    // A second refusal rule, asked after the pattern rule (for "Enable proxies" with no proxy).
    void setStartCheck(std::function<QString()> check);
    // Run on the UI thread at the end of every run, after the window is idle and the end message
    // ("Extraction aborted" / "Extraction terminated") has been shown.
    void setFinishedHandler(std::function<void(const RunSummary&)> handler);
    // Replaces how workers are made (tests make it fail).
    void setWorkerStarter(WorkerStarter starter);

    // The live counters of the latest run; readable from any thread.
    const RunTally& tally() const { return m_tally; }
    // The thread count the latest run took.
    int ThreadsNumber() const { return m_threadsNumber.load(); }

    // The run body, on the controller thread.
    void ParallelPing2();

    static QString noPatternRefusal();

private:
    void controllerThread();
    // UI thread, after the run body has returned.
    void ExtractionThreadTerminated();

    UiHandOff& m_handOff;
    RunSettings& m_settings;
    JobFactory m_threadFunction;
    WorkerStarter m_startWorker;
    std::function<QString()> m_startCheck;
    std::function<void(const RunSummary&)> m_onFinished;
    const int m_startPauseMs;

    std::atomic<bool> m_running { false };
    // UI thread only: set while the end handler runs inside the controller thread's last hand-off.
    bool m_inEndHandler = false;
    std::atomic<int> m_threadsNumber { 0 };
    RunTally m_tally;
    // Written by the controller thread, read by the end handler after the last hand-off.
    RunSummary m_summary;
    // aThreadStart: the controller thread of the latest run.
    std::thread m_aThreadStart;
};
