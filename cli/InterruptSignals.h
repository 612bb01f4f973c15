#pragma once

#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

// SIGINT and SIGTERM while a run goes. The first one is handed to this thread's event loop
// (onFirst: stop the run, then write what was collected); a second one ends the process at once
// with 128 + its number, writing nothing. The handler only writes a byte to a pipe, which is all a
// signal handler may safely do here.
// Thread affinity: the thread whose event loop runs the run; one instance per process at a time.
class InterruptSignals
{
public:
    explicit InterruptSignals(std::function<void(int signal)> onFirst);
    // Puts the default actions back.
    ~InterruptSignals();

    InterruptSignals(const InterruptSignals&) = delete;
    InterruptSignals& operator=(const InterruptSignals&) = delete;

    // The first signal received, or 0; also one that came while no event loop ran.
    int received() const;
    // "SIGINT", "SIGTERM".
    static QString name(int signal);
    // The exit status after the signal: 130, 143.
    static int exitStatus(int signal) { return 128 + signal; }

private:
    std::function<void(int)> m_onFirst;
    int m_pipe[2] = { -1, -1 };
    std::unique_ptr<QSocketNotifier> m_notifier;
};
