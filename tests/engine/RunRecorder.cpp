#include "RunRecorder.h"

#include "engine/UpdateGUIThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <future>
#include <thread>

RunRecorder::RunRecorder(RunController& controller)
{
    m_connections.push_back(QObject::connect(&controller, &RunController::runStarted, [this] {
        checkThread();
        runningStates.push_back(true);
        completedTexts.append(QStringLiteral("0"));
        if (onEnableDisable)
            onEnableDisable(true);
    }));
    m_connections.push_back(QObject::connect(&controller, &RunController::progress, [this](const RunProgress& b) {
        checkThread();
        batches.push_back(b);
        for (const int row : b.started)
            shown[row].append(RunController::fetchingPageText());
        for (const RowResult& r : b.results)
            shown[r.row].append(QString::number(r.count));
        if (!b.started.empty()) {
            const int m = b.started.back();
            if (m >= 10)
                scrolls.push_back(m - 10);
            completedTexts.append(QString::number(m + 1));
        }
        if (b.elapsed) {
            timeTexts.append(formatElapsedTime(*b.elapsed));
            ++timeUpdates;
        }
    }));
    m_connections.push_back(QObject::connect(&controller, &RunController::finished, [this](const RunSummary& s) {
        checkThread();
        runningStates.push_back(false);
        if (onEnableDisable)
            onEnableDisable(false);
        messages.append(s.message);
    }));
}

RunRecorder::~RunRecorder()
{
    for (const auto& c : m_connections)
        QObject::disconnect(c);
}

void RunRecorder::checkThread()
{
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        ++offUiThreadCalls;
}

RunSummary runToEnd(RunController& controller)
{
    RunSummary summary;
    bool ended = false;
    QEventLoop loop;
    const auto c = QObject::connect(&controller, &RunController::finished, &loop, [&](const RunSummary& s) {
        summary = s;
        ended = true;
        loop.quit();
    });
    QString refusal;
    if (!controller.ButtonStartClick(&refusal)) {
        QObject::disconnect(c);
        ADD_FAILURE() << "the run did not start: " << refusal.toStdString();
        return summary;
    }
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    EXPECT_TRUE(ended) << "the run did not end within a minute";
    return summary;
}

void runOnThreadOf(QObject* context, const std::function<void()>& fn)
{
    std::promise<void> ran;
    std::future<void> done = ran.get_future();
    QMetaObject::invokeMethod(
        context,
        [&] {
            fn();
            ran.set_value();
        },
        Qt::QueuedConnection);
    done.wait();
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
