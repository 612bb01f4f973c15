#include "RecordingHandOff.h"

#include "engine/CountdownEvent.h"
#include "engine/MyConsumerItemThreadMod.h"
#include "engine/RunController.h"
#include "engine/RunSettings.h"
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

// A fixture with a recorder, settings, and a controller without the start pause, whose jobs are
// whatever the test's factory makes.
class RunControllerTest : public ::testing::Test
{
protected:
    RunControllerTest() :
        controller(
            view, settings, [this](int m, RunTally& tally) { return factory(m, tally); }, 0)
    {
    }

    void TearDown() override { EXPECT_EQ(view.offUiThreadCalls, 0); }

    // Counts the workers made, making real ones.
    void countWorkers()
    {
        controller.setWorkerStarter([this](JobQueue& q, CountdownEvent& c, std::mutex& l) {
            ++workersMade;
            TMyConsumerItemMod::Create(q, c, l);
        });
    }

    RecordingHandOff view;
    RunSettings settings;
    JobFactory factory = [](int, RunTally&) { return Job([] {}); };
    RunController controller;
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
        fillRows(view.grid(), c.rows);
        settings.ThreadCount = c.threads;
        std::atomic<int> ran { 0 };
        factory = [&](int, RunTally&) { return Job([&] { ++ran; }); };

        const RunSummary s = runToEnd(controller);
        EXPECT_EQ(s.workers, c.workers);
        EXPECT_EQ(s.workersStarted, c.workers);
        EXPECT_EQ(workersMade, c.workers);
        EXPECT_EQ(ran, c.rows);
        EXPECT_EQ(controller.ThreadsNumber(), c.threads);
        EXPECT_EQ(view.messages().last(), "Extraction terminated");
        EXPECT_FALSE(controller.isRunning());
    }
    // Every run switched the window to running and back, in that order.
    EXPECT_EQ(view.runningStates, (std::vector<bool> { true, false, true, false, true, false, true, false }));
}

TEST_F(RunControllerTest, OneWorkerRunsTheRowsInRowOrder)
{
    fillRows(view.grid(), 200);
    settings.ThreadCount = 1;
    std::vector<int> order;
    factory = [&](int m, RunTally&) { return Job([&order, m] { order.push_back(m); }); };
    runToEnd(controller);
    ASSERT_EQ(order.size(), 200u);
    for (int m = 0; m < 200; ++m)
        EXPECT_EQ(order[size_t(m)], m);
}

TEST_F(RunControllerTest, MoreRowsThanTheQueueHoldsAllRunOnce)
{
    const int rows = 12000;
    fillRows(view.grid(), rows);
    settings.ThreadCount = 4;
    std::vector<std::atomic<int>> runs(rows);
    factory = [&](int m, RunTally&) { return Job([&runs, m] { ++runs[size_t(m)]; }); };
    const RunSummary s = runToEnd(controller);
    EXPECT_EQ(s.workers, 4);
    int once = 0;
    for (const auto& r : runs)
        once += r == 1;
    EXPECT_EQ(once, rows);
}

TEST_F(RunControllerTest, AJobThatThrowsEndsOnlyItsWorker)
{
    fillRows(view.grid(), 100);
    settings.ThreadCount = 4;
    std::atomic<int> ran { 0 };
    factory = [&](int m, RunTally&) {
        return Job([&ran, m] {
            if (m == 5)
                throw std::runtime_error("row 5 fails");
            ++ran;
        });
    };
    runToEnd(controller);
    EXPECT_EQ(ran, 99);
    EXPECT_EQ(view.messages().last(), "Extraction terminated");
}

TEST_F(RunControllerTest, EveryJobThrowingEndsEachWorkerAfterOneJob)
{
    fillRows(view.grid(), 100);
    settings.ThreadCount = 4;
    std::atomic<int> ran { 0 };
    factory = [&](int, RunTally&) {
        return Job([&ran] {
            ++ran;
            throw std::runtime_error("fails");
        });
    };
    runToEnd(controller);
    EXPECT_EQ(ran, 4);
    EXPECT_EQ(view.messages().last(), "Extraction terminated");
}

TEST_F(RunControllerTest, AllWorkersDeadWhileTheQueueIsFullEndsTheRun)
{
    // Both workers hold their first job until the queue is full and the controller is about to
    // wait for room; then both fail, and nobody is left to make room.
    const int rows = 12000;
    fillRows(view.grid(), rows);
    settings.ThreadCount = 2;
    std::mutex gateMutex;
    std::condition_variable gateOpened;
    bool gate = false;
    std::atomic<int> ran { 0 };
    factory = [&](int m, RunTally&) {
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
    EXPECT_EQ(view.messages().last(), "Extraction terminated");
}

TEST_F(RunControllerTest, WorkersThatCannotBeMadeDoNotHoldTheRun)
{
    fillRows(view.grid(), 50);
    settings.ThreadCount = 3;
    std::atomic<int> ran { 0 };
    factory = [&](int, RunTally&) { return Job([&ran] { ++ran; }); };

    // The second of three fails: the other two do every row.
    int attempt = 0;
    controller.setWorkerStarter([&](JobQueue& q, CountdownEvent& c, std::mutex& l) {
        if (++attempt == 2)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        TMyConsumerItemMod::Create(q, c, l);
    });
    RunSummary s = runToEnd(controller);
    EXPECT_EQ(s.workers, 3);
    EXPECT_EQ(s.workersStarted, 2);
    EXPECT_EQ(ran, 50);

    // None can be made: the rows are dropped and the run still ends.
    ran = 0;
    controller.setWorkerStarter([](JobQueue&, CountdownEvent&, std::mutex&) {
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
    fillRows(view.grid(), 20);
    settings.ThreadCount = 2;
    std::atomic<int> ran { 0 };
    factory = [&](int, RunTally&) {
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
    EXPECT_EQ(view.messages().last(), "Extraction terminated");
}

TEST_F(RunControllerTest, AbortFlagDecidesTheEndMessageAndTheNextRunClearsIt)
{
    fillRows(view.grid(), 3);
    factory = [&](int, RunTally&) { return Job([&] { settings.StopThreadingFlag = true; }); };
    RunSummary s = runToEnd(controller);
    EXPECT_TRUE(s.aborted);
    EXPECT_EQ(view.messages().last(), "Extraction aborted");
    // The flag stays set after the run.
    EXPECT_TRUE(settings.StopThreadingFlag);

    factory = [](int, RunTally&) { return Job([] {}); };
    s = runToEnd(controller);
    EXPECT_FALSE(s.aborted);
    EXPECT_EQ(view.messages().last(), "Extraction terminated");
}

TEST_F(RunControllerTest, SecondRunClearsResultsAndRestartsTheCounters)
{
    fillRows(view.grid(), 6);
    settings.ThreadCount = 2;
    // The first run fills every row; the second only the even ones, once its clock has shown a time.
    bool second = false;
    int timeUpdatesBefore = 0;
    factory = [&](int m, RunTally&) {
        return Job([this, &second, &timeUpdatesBefore, m] {
            if (second && m == 0)
                for (int i = 0; i < 5000 && view.timeUpdates <= timeUpdatesBefore; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (second && m % 2)
                return;
            view.runOnUiThread([&] {
                view.grid().setCell(m, ColumnMatchesNumber, QStringLiteral("1"));
                view.grid().setCell(m, ColumnMatches, QStringLiteral("hit"));
                view.grid().setOutcome(m, QStringLiteral("HTTP 500"));
                view.setCompletedText(QString::number(m + 1));
            });
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
        EXPECT_EQ(view.grid().cell(r, ColumnMatchesNumber), r % 2 ? "" : "1");
        EXPECT_EQ(view.grid().cell(r, ColumnMatches), r % 2 ? "" : "hit");
        EXPECT_EQ(view.grid().outcome(r), r % 2 ? "" : "HTTP 500");
        EXPECT_EQ(view.grid().cell(r, ColumnRegexPattern), "x");
    }
    ASSERT_GT(view.completedTexts.size(), completedBefore);
    EXPECT_EQ(view.completedTexts[completedBefore], "0");
    ASSERT_GT(view.timeTexts.size(), timeBefore);
    EXPECT_EQ(view.timeTexts[timeBefore], "00:00:00");
}

TEST_F(RunControllerTest, StartIsRefusedWithoutAPatternOrWhileRunning)
{
    fillRows(view.grid(), 3);
    view.grid().setCell(1, ColumnRegexPattern, QString());
    EXPECT_FALSE(controller.ButtonStartClick());
    ASSERT_EQ(view.messages().size(), 1);
    EXPECT_EQ(view.messages()[0],
        "You cannot run because one or more rows haven't regular expressions\r\n"
        "Remember that 'Regex Pattern' column is mandatory while 'Regex replacement' "
        "column is optional");
    EXPECT_TRUE(view.runningStates.empty());
    EXPECT_FALSE(controller.isRunning());

    // The extra rule is asked only once every row has a pattern.
    view.grid().setCell(1, ColumnRegexPattern, QStringLiteral("x"));
    controller.setStartCheck([] { return QStringLiteral("no proxy"); });
    EXPECT_FALSE(controller.ButtonStartClick());
    EXPECT_EQ(view.messages().last(), "no proxy");
    EXPECT_TRUE(view.runningStates.empty());

    // A second Start while the first run is going does nothing.
    controller.setStartCheck(nullptr);
    std::mutex holdMutex;
    holdMutex.lock();
    factory = [&](int, RunTally&) { return Job([&] { std::lock_guard lock(holdMutex); }); };
    bool ended = false;
    bool startedFromEndHandler = true;
    controller.setFinishedHandler([&](const RunSummary&) {
        ended = true;
        // Still inside the first run's last hand-off.
        startedFromEndHandler = controller.ButtonStartClick();
    });
    ASSERT_TRUE(controller.ButtonStartClick());
    EXPECT_FALSE(controller.ButtonStartClick());
    holdMutex.unlock();
    EXPECT_TRUE(spinUntil([&] { return ended; }));
    EXPECT_FALSE(startedFromEndHandler);
    EXPECT_EQ(view.runningStates, (std::vector<bool> { true, false }));
}
