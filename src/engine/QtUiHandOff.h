#pragma once

#include "engine/UiHandOff.h"

#include <memory>
#include <thread>

// runOnUiThread as a blocking queued call: an event posted to an object on the UI thread, and a
// wait until it has run there. The UI thread is the thread that creates the hand-off; its event
// loop must keep running while other threads hand procedures over, and the hand-off must be
// destroyed there, after the last of them has returned (a call still pending then fails).
// The view operations are left to the window (or the command line) that derives from it.
class UiCallReceiver;

class QtUiHandOff : public UiHandOff
{
public:
    QtUiHandOff();
    ~QtUiHandOff() override;

    void runOnUiThread(const std::function<void()>& procedure) override;
    bool isUiThread() const;

private:
    // Lives on the UI thread; queued procedures are delivered to it.
    std::unique_ptr<UiCallReceiver> m_receiver;
    std::thread::id m_uiThread;
};
