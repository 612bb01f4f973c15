#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class UiHandOff;

// "hh:mm:ss" of an elapsed time: whole days dropped (hours wrap at 24), fractions dropped.
QString formatElapsedTime(std::chrono::milliseconds elapsed);

// The elapsed-time clock of one run: shows the time since it began in "Time" (LabelTime) at once
// and then every tick, until asked to terminate. It measures with the monotonic clock, so a change
// of the system time during a run does not shift it.
// Thread affinity: created and terminated by the run controller; its body runs on a thread of its
// own and reaches the label only through the hand-off. Destruction waits for that thread, which
// ends as soon as it is terminated: at most an update that had already begun still finishes.
// So never destroy it on the UI thread, which that update may be waiting for.
class TUpdateGUIThread
{
public:
    static constexpr std::chrono::milliseconds Tick { 250 };

    // Starts the clock.
    explicit TUpdateGUIThread(UiHandOff& handOff, std::chrono::milliseconds tick = Tick);
    ~TUpdateGUIThread();

    TUpdateGUIThread(const TUpdateGUIThread&) = delete;
    TUpdateGUIThread& operator=(const TUpdateGUIThread&) = delete;

    // Asks the clock to stop; it makes no update after the one under way, if any.
    void Terminate();

private:
    void Execute();
    // UI thread.
    void updateGui();

    UiHandOff& m_handOff;
    const std::chrono::milliseconds m_tick;
    std::chrono::steady_clock::time_point StartTime;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_terminated = false;
    // Last, so that everything above is set before the thread starts.
    std::thread m_thread;
};
