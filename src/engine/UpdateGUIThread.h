#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// "hh:mm:ss" of an elapsed time: whole days dropped (hours wrap at 24), fractions dropped.
QString formatElapsedTime(std::chrono::milliseconds elapsed);

// The elapsed-time clock of one run: reports the time since it began at once and then every tick,
// until asked to terminate; the run hands each reading to its front end ("Time", LabelTime). It
// measures with the monotonic clock, so a change of the system time during a run does not shift it.
// Thread affinity: created and terminated by the run controller; its body runs on a thread of its
// own, which calls show() there. Destruction joins that thread; show() must not block for long.
class TUpdateGUIThread
{
public:
    static constexpr std::chrono::milliseconds Tick { 250 };

    // Starts the clock.
    using Show = std::function<void(std::chrono::milliseconds elapsed)>;

    explicit TUpdateGUIThread(Show show, std::chrono::milliseconds tick = Tick);
    ~TUpdateGUIThread();

    TUpdateGUIThread(const TUpdateGUIThread&) = delete;
    TUpdateGUIThread& operator=(const TUpdateGUIThread&) = delete;

    // Asks the clock to stop; it makes no update after the one under way, if any.
    void Terminate();

private:
    void Execute();
    void updateGui();

    Show m_show;
    const std::chrono::milliseconds m_tick;
    std::chrono::steady_clock::time_point StartTime;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_terminated = false;
    // Last, so that everything above is set before the thread starts.
    std::thread m_thread;
};
