#pragma once

#include "engine/RunController.h"
#include "engine/RunEvents.h"
#include "engine/RunSummary.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <map>
#include <vector>

// Records what a run hands its front end and renders it the way the window does: the scroll rule
// and "Urls processed" from the last row begun in each batch, the time, the running state and
// the end message. Everything is recorded on the test's (UI) thread.
class RunRecorder
{
public:
    explicit RunRecorder(RunController& controller);
    ~RunRecorder();

    std::vector<RunProgress> batches;
    std::vector<int> scrolls;
    QStringList completedTexts;
    QStringList timeTexts;
    std::vector<bool> runningStates;
    QStringList messages;
    // Every column-3 value each row showed, in order.
    std::map<int, QStringList> shown;
    // The number of time-label updates, readable from any thread.
    std::atomic<int> timeUpdates { 0 };
    // Called inside the running-state switch.
    std::function<void(bool)> onEnableDisable;
    int offUiThreadCalls = 0;

private:
    void checkThread();

    std::vector<QMetaObject::Connection> m_connections;
};

// Starts a run and spins the event loop until it has ended (a minute at most). Fails the test when
// the run does not start or does not end.
RunSummary runToEnd(RunController& controller);

// From another thread: runs fn on context's thread and waits until it has run. The wait is a
// standard future, which ThreadSanitizer can follow (it cannot see Qt's blocking connection).
void runOnThreadOf(QObject* context, const std::function<void()>& fn);

// Runs fn on a thread of its own while the event loop spins.
void runOffUiThread(const std::function<void()>& fn);

// Spins the event loop until the condition holds or the time is up; returns the condition.
bool spinUntil(const std::function<bool()>& condition, int timeoutMs = 20000);
