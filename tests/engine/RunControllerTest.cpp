#include "RunRecorder.h"

#include "engine/MyConsumerItemThreadMod.h"
#include "engine/RunChannel.h"
#include "engine/RunController.h"
#include "engine/RunSettings.h"
#include "results/StringGridUtil.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace
{

// A grid of n rows that all have a pattern.
void fillRows(ResultsModel& grid, int n)
{
    grid.setRowCount(n);
    for (int r = 0; r < n; ++r) {
        grid.setCell(r, ColumnUrl, QStringLiteral("http://127.0.0.1/%1").arg(r));
        grid.setCell(r, ColumnRegexPattern, QStringLiteral("x"));
    }
}

// A fixture with a row store, settings, a controller without the start pause whose jobs are
// whatever the test's factory makes, and a recorder of what the run shows.
class RunControllerTest : public ::testing::Test
{
protected:
    RunControllerTest() :
        controller(
            grid, settings, [this](int m, RunChannel& run) { return factory(m, run); }, 0),
        view(controller)
    {
    }

    void TearDown() override { EXPECT_EQ(view.offUiThreadCalls, 0); }

    // Counts the workers made, making real ones.
    void countWorkers()
    {
        controller.setWorkerStarter([this](JobQueue& q, std::mutex& l) {
            ++workersMade;
            return TMyConsumerItemMod::Create(q, l);
        });
    }

    ResultsModel grid;
    RunSettings settings;
    JobFactory factory = [](int, RunChannel&) { return Job([] {}); };
    RunController controller;
    RunRecorder view;
    std::atomic<int> workersMade { 0 };
};

} // namespace

TEST_F(RunControllerTest, PoolIsTheSmallerOfThreadCountAndRowCount)
{
    struct Case {
        int threads, rows, workers;
    };
    for (const Case c : { Case { 8, 3, 3 }, Case { 4, 100, 4 }, Case { 4, 0, 0 }, Case { 1, 5, 1 } }) {
        SCOPED_TRACE(testing::Message() << c.threads << " threads, " << c.rows << " rows");
        workersMade = 0;
        countWorkers();
        fillRows(grid, c.rows);
        settings.ThreadCount = c.threads;
        std::atomic<int> ran { 0 };
        factory = [&](int, RunChannel&) { return Job([&] { ++ran; }); };

        const RunSummary s = runToEnd(controller);
        EXPECT_EQ(s.workers, c.workers);
        EXPECT_EQ(s.workersStarted, c.workers);
        EXPECT_EQ(workersMade, c.workers);
        EXPECT_EQ(ran, c.rows);
        EXPECT_EQ(controller.ThreadsNumber(), c.threads);
        EXPECT_EQ(view.messages.last(), "Extraction terminated");
        EXPECT_FALSE(controller.isRunning());
    }
    // Every run switched the window to running and back, in that order.
    EXPECT_EQ(view.runningStates, (std::vector<bool> { true, false, true, false, true, false, true, false }));
}

TEST_F(RunControllerTest, OneWorkerRunsTheRowsInRowOrder)
{
    fillRows(grid, 200);
    settings.ThreadCount = 1;
    std::vector<int> order;
    factory = [&](int m, RunChannel&) { return Job([&order, m] { order.push_back(m); }); };
    runToEnd(controller);
    ASSERT_EQ(order.size(), 200u);
    for (int m = 0; m < 200; ++m)
        EXPECT_EQ(order[size_t(m)], m);
}

TEST_F(RunControllerTest, MoreRowsThanTheQueueHoldsAllRunOnce)
{
    const int rows = 12000;
    fillRows(grid, rows);
    settings.ThreadCount = 4;
    std::vector<std::atomic<int>> runs(rows);
    factory = [&](int m, RunChannel&) { return Job([&runs, m] { ++runs[size_t(m)]; }); };
    const RunSummary s = runToEnd(controller);
    EXPECT_EQ(s.workers, 4);
    int once = 0;
    for (const auto& r : runs)
        once += r == 1;
    EXPECT_EQ(once, rows);
}

TEST_F(RunControllerTest, AJobThatThrowsEndsOnlyItsWorker)
{
    fillRows(grid, 100);
    settings.ThreadCount = 4;
    std::atomic<int> ran { 0 };
    factory = [&](int m, RunChannel&) {
        return Job([&ran, m] {
            if (m == 5)
                throw std::runtime_error("row 5 fails");
            ++ran;
        });
    };
    runToEnd(controller);
    EXPECT_EQ(ran, 99);
    EXPECT_EQ(view.messages.last(), "Extraction terminated");
}

TEST_F(RunControllerTest, EveryJobThrowingEndsEachWorkerAfterOneJob)
{
    fillRows(grid, 100);
    settings.ThreadCount = 4;
    std::atomic<int> ran { 0 };
    factory = [&](int, RunChannel&) {
        return Job([&ran] {
            ++ran;
            throw std::runtime_error("fails");
        });
    };
    runToEnd(controller);
    EXPECT_EQ(ran, 4);
    EXPECT_EQ(view.messages.last(), "Extraction terminated");
}

TEST_F(RunControllerTest, AllWorkersDeadWhileTheQueueIsFullEndsTheRun)
{
    // Both workers hold their first job until the queue is full and the controller is about to
    // wait for room; then both fail, and nobody is left to make room.
    const int rows = 12000;
    fillRows(grid, rows);
    settings.ThreadCount = 2;
    std::mutex gateMutex;
    std::condition_variable gateOpened;
    bool gate = false;
    std::atomic<int> ran { 0 };
    factory = [&](int m, RunChannel&) {
        if (m == JobQueue::DefaultCapacity + 2) {
            std::lock_guard lock(gateMutex);
            gate = true;
            gateOpened.notify_all();
        }
        return Job([&] {
            ++ran;
            std::unique_lock lock(gateMutex);
            gateOpened.wait(lock, [&] { return gate; });
            lock.unlock();
            // Long enough for the controller to be inside its wait for room.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            throw std::runtime_error("fails");
        });
    };
    runToEnd(controller);
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(view.messages.last(), "Extraction terminated");
}

TEST_F(RunControllerTest, WorkersThatCannotBeMadeDoNotHoldTheRun)
{
    fillRows(grid, 50);
    settings.ThreadCount = 3;
    std::atomic<int> ran { 0 };
    factory = [&](int, RunChannel&) { return Job([&ran] { ++ran; }); };

    // The second of three fails: the other two do every row.
    int attempt = 0;
    controller.setWorkerStarter([&](JobQueue& q, std::mutex& l) {
        if (++attempt == 2)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        return TMyConsumerItemMod::Create(q, l);
    });
    RunSummary s = runToEnd(controller);
    EXPECT_EQ(s.workers, 3);
    EXPECT_EQ(s.workersStarted, 2);
    EXPECT_EQ(ran, 50);

    // None can be made: the rows are dropped and the run still ends.
    ran = 0;
    controller.setWorkerStarter([](JobQueue&, std::mutex&) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    s = runToEnd(controller);
    EXPECT_EQ(s.workersStarted, 0);
    EXPECT_EQ(s.notRun, 50);
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(view.runningStates.back(), false);
}

TEST_F(RunControllerTest, AbortDuringTheStartPauseIsCleared)
{
    fillRows(grid, 20);
    settings.ThreadCount = 2;
    std::atomic<int> ran { 0 };
    factory = [&](int, RunChannel&) {
        return Job([&] {
            if (!settings.StopThreadingFlag)
                ++ran;
        });
    };
    // Abort pressed as soon as the window shows the running state, before the pause ends.
    view.onEnableDisable = [&](bool running) {
        if (running)
            controller.ButtonAbortClick();
    };
    const RunSummary s = runToEnd(controller);
    EXPECT_EQ(ran, 20);
    EXPECT_FALSE(s.aborted);
    EXPECT_EQ(view.messages.last(), "Extraction terminated");
}

TEST_F(RunControllerTest, AbortFlagDecidesTheEndMessageAndTheNextRunClearsIt)
{
    fillRows(grid, 3);
    factory = [&](int, RunChannel&) { return Job([&] { settings.StopThreadingFlag = true; }); };
    RunSummary s = runToEnd(controller);
    EXPECT_TRUE(s.aborted);
    EXPECT_EQ(view.messages.last(), "Extraction aborted");
    // The flag stays set after the run.
    EXPECT_TRUE(settings.StopThreadingFlag);

    factory = [](int, RunChannel&) { return Job([] {}); };
    s = runToEnd(controller);
    EXPECT_FALSE(s.aborted);
    EXPECT_EQ(view.messages.last(), "Extraction terminated");
}

TEST_F(RunControllerTest, SecondRunClearsResultsAndRestartsTheCounters)
{
    fillRows(grid, 6);
    settings.ThreadCount = 2;
    // The first run fills every row; the second only the even ones, once its clock has shown a time.
    bool second = false;
    int timeUpdatesBefore = 0;
    factory = [&](int m, RunChannel& run) {
        return Job([this, &second, &timeUpdatesBefore, &run, m] {
            if (second && m == 0)
                for (int i = 0; i < 5000 && view.timeUpdates <= timeUpdatesBefore; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (second && m % 2)
                return;
            run.rowStarted(m);
            run.rowFinished({ m, 1, QStringLiteral("hit"), QStringLiteral("HTTP 500"), {} });
        });
    };
    runToEnd(controller);
    second = true;
    timeUpdatesBefore = view.timeUpdates;
    const qsizetype completedBefore = view.completedTexts.size();
    const qsizetype timeBefore = view.timeTexts.size();
    runToEnd(controller);

    for (int r = 0; r < 6; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(grid.cell(r, ColumnMatchesNumber), r % 2 ? "" : "1");
        EXPECT_EQ(grid.cell(r, ColumnMatches), r % 2 ? "" : "hit");
        EXPECT_EQ(grid.outcome(r), r % 2 ? "" : "HTTP 500");
        EXPECT_EQ(grid.cell(r, ColumnRegexPattern), "x");
    }
    ASSERT_GT(view.completedTexts.size(), completedBefore);
    EXPECT_EQ(view.completedTexts[completedBefore], "0");
    ASSERT_GT(view.timeTexts.size(), timeBefore);
    EXPECT_EQ(view.timeTexts[timeBefore], "00:00:00");
}

TEST_F(RunControllerTest, StartIsRefusedWithoutAPatternOrWhileRunning)
{
    fillRows(grid, 3);
    grid.setCell(1, ColumnRegexPattern, QString());
    QString refusal;
    EXPECT_FALSE(controller.ButtonStartClick(&refusal));
    EXPECT_EQ(refusal,
        "You cannot run because one or more rows haven't regular expressions\r\n"
        "Remember that 'Regex Pattern' column is mandatory while 'Regex replacement' "
        "column is optional");
    EXPECT_TRUE(view.runningStates.empty());
    EXPECT_FALSE(controller.isRunning());

    // The extra rule is asked only once every row has a pattern.
    grid.setCell(1, ColumnRegexPattern, QStringLiteral("x"));
    controller.setStartCheck([] { return QStringLiteral("no proxy"); });
    EXPECT_FALSE(controller.ButtonStartClick(&refusal));
    EXPECT_EQ(refusal, "no proxy");
    EXPECT_TRUE(view.runningStates.empty());

    // A second Start while the first run is going does nothing.
    controller.setStartCheck(nullptr);
    std::mutex holdMutex;
    holdMutex.lock();
    factory = [&](int, RunChannel&) { return Job([&] { std::lock_guard lock(holdMutex); }); };
    bool ended = false;
    bool startedFromEndHandler = true;
    QObject::connect(&controller, &RunController::finished, &controller, [&](const RunSummary&) {
        ended = true;
        startedFromEndHandler = controller.ButtonStartClick();
    });
    ASSERT_TRUE(controller.ButtonStartClick());
    EXPECT_FALSE(controller.ButtonStartClick(&refusal));
    EXPECT_TRUE(refusal.isEmpty());
    holdMutex.unlock();
    EXPECT_TRUE(spinUntil([&] { return ended; }));
    EXPECT_FALSE(startedFromEndHandler);
    EXPECT_EQ(view.runningStates, (std::vector<bool> { true, false }));
}

namespace
{

// Counts the workers whose thread-local state has been destroyed: a thread that is still running
// (or was detached) has not got there yet.
std::atomic<int> threadsEnded { 0 };
struct ThreadEndCounter {
    bool used = false;
    ~ThreadEndCounter()
    {
        if (used)
            ++threadsEnded;
    }
};
thread_local ThreadEndCounter threadEnd;

} // namespace

TEST_F(RunControllerTest, StopEndsTheRunWithItsThreadsJoinedAndKeepsWhatWasDone)
{
    fillRows(grid, 1000);
    settings.ThreadCount = 4;
    threadsEnded = 0;
    factory = [&](int m, RunChannel& run) {
        return Job([this, &run, m] {
            threadEnd.used = true;
            // As the real job: the abort flag is looked at once, before the row begins.
            if (settings.StopThreadingFlag)
                return;
            run.rowStarted(m);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            run.rowFinished({ m, 1, QStringLiteral("hit"), QString(), {} });
        });
    };
    RunSummary s;
    bool ended = false;
    int endedThreadsAtFinish = -1;
    QObject::connect(&controller, &RunController::finished, &controller, [&](const RunSummary& r) {
        s = r;
        ended = true;
        endedThreadsAtFinish = threadsEnded;
    });
    ASSERT_TRUE(controller.ButtonStartClick());
    ASSERT_TRUE(spinUntil([&] { return grid.cell(20, ColumnMatchesNumber) == "1"; }));
    controller.requestStop();
    EXPECT_TRUE(controller.isStopping());
    ASSERT_TRUE(spinUntil([&] { return ended; }));

    EXPECT_TRUE(s.aborted);
    EXPECT_TRUE(s.stopped);
    EXPECT_EQ(s.message, "Extraction aborted");
    EXPECT_EQ(endedThreadsAtFinish, 4) << "every worker thread is joined before the end is announced";
    EXPECT_GT(s.notRun, 0);
    // Every row begun was finished and shown; the others stayed empty.
    int done = 0;
    for (int r = 0; r < 1000; ++r) {
        const QString& count = grid.cell(r, ColumnMatchesNumber);
        EXPECT_TRUE(count == "1" || count.isEmpty()) << "row " << r << ": " << count.toStdString();
        done += count == "1";
    }
    EXPECT_EQ(done, s.started);
    EXPECT_EQ(s.started + s.notRun, 1000);
}

TEST_F(RunControllerTest, DestroyingTheControllerMidRunStopsAndJoinsWithoutDeadlock)
{
    fillRows(grid, 5000);
    settings.ThreadCount = 8;
    threadsEnded = 0;
    std::atomic<int> began { 0 };
    auto doomed = std::make_unique<RunController>(
        grid, settings,
        [&](int m, RunChannel& run) {
            return Job([&run, &began, m] {
                threadEnd.used = true;
                ++began;
                run.rowStarted(m);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                run.rowFinished({ m, 0, QString(), QString(), {} });
            });
        },
        // A long start pause: destroying also ends the pause at once.
        0);
    bool finishedSeen = false;
    QObject::connect(doomed.get(), &RunController::finished, [&] { finishedSeen = true; });
    ASSERT_TRUE(doomed->ButtonStartClick());
    ASSERT_TRUE(spinUntil([&] { return began >= 16; }));
    doomed.reset();
    EXPECT_EQ(threadsEnded, 8);
    // Nothing is delivered to a controller that is gone.
    spinUntil([] { return false; }, 100);
    EXPECT_FALSE(finishedSeen);

    // The same during the start pause.
    auto paused = std::make_unique<RunController>(
        grid, settings, [](int, RunChannel&) { return Job([] {}); }, 60000);
    ASSERT_TRUE(paused->ButtonStartClick());
    paused.reset();
}

TEST_F(RunControllerTest, ResultsArriveInFewBatchesEachRowOnceWithItsOutcome)
{
    const int rows = 20000;
    fillRows(grid, rows);
    settings.ThreadCount = 4;
    factory = [&](int m, RunChannel& run) {
        return Job([&run, m] {
            run.rowStarted(m);
            run.rowFinished(
                { m, m % 3, QStringLiteral("v%1").arg(m), m % 7 ? QString() : QStringLiteral("HTTP 404"), {} });
        });
    };
    int changes = 0;
    QObject::connect(
        &grid, &ResultsModel::dataChanged, &controller, [&](const QModelIndex& a, const QModelIndex& b) {
            if (a.column() >= ColumnMatchesNumber && b.column() >= ColumnMatchesNumber)
                ++changes;
        });
    const RunSummary s = runToEnd(controller);

    std::vector<int> seen(rows, 0);
    for (const RunProgress& b : view.batches)
        for (const RowResult& r : b.results)
            ++seen[size_t(r.row)];
    for (int r = 0; r < rows; ++r) {
        ASSERT_EQ(seen[size_t(r)], 1) << "row " << r;
        ASSERT_EQ(grid.cell(r, ColumnMatchesNumber), QString::number(r % 3)) << "row " << r;
        ASSERT_EQ(grid.cell(r, ColumnMatches), QStringLiteral("v%1").arg(r)) << "row " << r;
        ASSERT_EQ(grid.outcome(r), r % 7 ? "" : "HTTP 404") << "row " << r;
    }
    EXPECT_LT(view.batches.size(), size_t(rows / 10)) << "deliveries for " << rows << " rows";
    // The two clears at the start, then one change per batch that carried rows.
    size_t batchesWithRows = 0;
    for (const RunProgress& b : view.batches)
        batchesWithRows += !b.started.empty() || !b.results.empty();
    EXPECT_EQ(size_t(changes), 2 + batchesWithRows);
    EXPECT_EQ(s.failed, (rows + 6) / 7);
    EXPECT_EQ(view.batches.back().tally.completed, rows);
}

TEST_F(RunControllerTest, AnEditOfARowNotYetBegunReachesItsJob)
{
    fillRows(grid, 5);
    settings.ThreadCount = 1;
    std::mutex gateMutex;
    std::condition_variable gateOpened;
    bool gate = false;
    std::vector<QString> patterns(5);
    factory = [&](int m, RunChannel& run) {
        return Job([&, m] {
            if (m == 0) {
                std::unique_lock lock(gateMutex);
                gateOpened.wait_for(lock, std::chrono::seconds(20), [&] { return gate; });
            }
            patterns[size_t(m)] = run.rowStarted(m).pattern;
            run.rowFinished({ m, 0, QString(), QString(), {} });
        });
    };
    bool ended = false;
    QObject::connect(&controller, &RunController::finished, &controller, [&] { ended = true; });
    ASSERT_TRUE(controller.ButtonStartClick());
    // As the user would: an edit in the grid while row 0 is under way.
    grid.setData(grid.index(3, ColumnRegexPattern), QStringLiteral("edited"));
    {
        std::lock_guard lock(gateMutex);
        gate = true;
    }
    gateOpened.notify_all();
    ASSERT_TRUE(spinUntil([&] { return ended; }));
    EXPECT_EQ(patterns[3], "edited");
    EXPECT_EQ(patterns[4], "x");
}
