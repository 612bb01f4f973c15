#pragma once

#include "engine/ModelUiHandOff.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

class RunController;
struct RunSummary;

// A hand-off that records what a run shows, in the order the window would see it, and counts
// view operations made off the UI thread (there must be none).
class RecordingHandOff : public ModelUiHandOff
{
public:
    void scrollRowToTop(int row) override;
    void setCompletedText(const QString& text) override;
    void setTimeText(const QString& text) override;
    void EnableDisableOnStart(bool Flag) override;
    void showMessage(const QString& text) override;

    std::vector<int> scrolls;
    QStringList completedTexts;
    QStringList timeTexts;
    std::vector<bool> runningStates;
    int offUiThreadCalls = 0;
    // The number of time-label updates, readable from any thread.
    std::atomic<int> timeUpdates { 0 };
    // Called on the UI thread inside EnableDisableOnStart.
    std::function<void(bool)> onEnableDisable;

private:
    void checkThread();
};

// Starts a run and spins the event loop until its end handler has run (a minute at most).
// Fails the test when the run does not start or does not end.
RunSummary runToEnd(RunController& controller);

// Runs fn on a thread of its own while the event loop spins, for work that may hand procedures to
// this (the UI) thread.
void runOffUiThread(const std::function<void()>& fn);

// Spins the event loop until the condition holds or the time is up; returns the condition.
bool spinUntil(const std::function<bool()>& condition, int timeoutMs = 20000);
