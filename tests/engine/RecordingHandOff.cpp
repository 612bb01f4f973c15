#include "RecordingHandOff.h"

#include "engine/RunController.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

void RecordingHandOff::checkThread()
{
    if (!isUiThread())
        ++offUiThreadCalls;
}

void RecordingHandOff::scrollRowToTop(int row)
{
    checkThread();
    scrolls.push_back(row);
    ModelUiHandOff::scrollRowToTop(row);
}

void RecordingHandOff::setCompletedText(const QString& text)
{
    checkThread();
    completedTexts.append(text);
    ModelUiHandOff::setCompletedText(text);
}

void RecordingHandOff::setTimeText(const QString& text)
{
    checkThread();
    timeTexts.append(text);
    ++timeUpdates;
    ModelUiHandOff::setTimeText(text);
}

void RecordingHandOff::EnableDisableOnStart(bool Flag)
{
    checkThread();
    runningStates.push_back(Flag);
    ModelUiHandOff::EnableDisableOnStart(Flag);
    if (onEnableDisable)
        onEnableDisable(Flag);
}

void RecordingHandOff::showMessage(const QString& text)
{
    checkThread();
    ModelUiHandOff::showMessage(text);
}

RunSummary runToEnd(RunController& controller)
{
    RunSummary summary;
    bool ended = false;
    QEventLoop loop;
    controller.setFinishedHandler([&](const RunSummary& s) {
        summary = s;
        ended = true;
        loop.quit();
    });
    if (!controller.ButtonStartClick()) {
        ADD_FAILURE() << "the run did not start";
        return summary;
    }
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(ended) << "the run did not end within a minute";
    controller.setFinishedHandler(nullptr);
    return summary;
}

void runOffUiThread(const std::function<void()>& fn)
{
    std::atomic<bool> done { false };
    std::thread t([&] {
        fn();
        done = true;
    });
    spinUntil([&] { return done.load(); }, 60000);
    t.join();
}

bool spinUntil(const std::function<bool()>& condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition() || elapsed.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(2);
    loop.exec();
    return condition();
}
