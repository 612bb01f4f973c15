#include "cli/InterruptSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace
{

// Lock-free, so safe in a handler, and exact when two signals come at once on two threads.
std::atomic<int> firstSignal { 0 };
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> wakeFd { -1 };

extern "C" void onInterrupt(int signal)
{
    int none = 0;
    if (!firstSignal.compare_exchange_strong(none, signal))
        ::_exit(InterruptSignals::exitStatus(signal));
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &byte, 1);
    errno = saved;
}

const int Handled[] = { SIGINT, SIGTERM };

} // namespace

InterruptSignals::InterruptSignals(std::function<void(int)> onFirst) : m_onFirst(std::move(onFirst))
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot make the pipe for SIGINT and SIGTERM");
    firstSignal = 0;
    wakeFd = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        char bytes[16];
        while (::read(m_pipe[0], bytes, sizeof bytes) > 0) { }
        // Only the first signal gets here: a second one has ended the process.
        m_notifier->setEnabled(false);
        // Runs from the event loop: nothing may escape into it.
        try {
            if (m_onFirst)
                m_onFirst(firstSignal.load());
        } catch (const std::exception& e) {
            qWarning("stopping the run: %s", e.what());
        }
    });
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Blocking calls elsewhere go on after the handler instead of failing with EINTR.
    action.sa_flags = SA_RESTART;
    for (const int s : Handled)
        ::sigaction(s, &action, nullptr);
}

InterruptSignals::~InterruptSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int s : Handled)
        ::sigaction(s, &action, nullptr);
    m_notifier.reset();
    wakeFd = -1;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

int InterruptSignals::received() const
{
    return firstSignal.load();
}

QString InterruptSignals::name(int signal)
{
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    }
    return QStringLiteral("signal %1").arg(signal);
}
