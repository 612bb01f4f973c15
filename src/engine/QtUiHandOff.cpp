#include "engine/QtUiHandOff.h"

#include <QCoreApplication>
#include <QEvent>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <utility>

// A blocking queued call, made of a posted event and a wait on the caller's side: the same as
// Qt::BlockingQueuedConnection, but every ordering between the two threads goes through standard
// primitives, which ThreadSanitizer can follow (it cannot see Qt's own semaphore), and the caller
// learns whether the procedure ran at all.
namespace
{

struct PendingCall {
    enum State { Waiting, Ran, Dropped };

    explicit PendingCall(const std::function<void()>& p) : procedure(p) { }

    const std::function<void()>& procedure;
    std::exception_ptr error;
    std::mutex mutex;
    std::condition_variable finished;
    State state = Waiting;

    // Notified under the lock: once the caller sees the new state it may destroy the call.
    void finish(State s)
    {
        std::lock_guard lock(mutex);
        state = s;
        finished.notify_one();
    }
};

class CallEvent : public QEvent
{
public:
    static QEvent::Type callType()
    {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }

    explicit CallEvent(PendingCall& call) : QEvent(callType()), m_call(&call) { }

    // An event deleted unrun (its receiver went away) lets the caller go.
    ~CallEvent() override
    {
        if (m_call)
            m_call->finish(PendingCall::Dropped);
    }

    void run()
    {
        // No exception may cross the event loop: it is carried back to the caller instead.
        try {
            m_call->procedure();
        } catch (...) {
            m_call->error = std::current_exception();
        }
        PendingCall* call = std::exchange(m_call, nullptr);
        call->finish(PendingCall::Ran);
    }

private:
    PendingCall* m_call;
};

} // namespace

class UiCallReceiver : public QObject
{
public:
    void post(PendingCall& call)
    {
        auto* event = new CallEvent(call);
        m_posted.fetch_add(1, std::memory_order_release);
        QCoreApplication::postEvent(this, event);
    }

protected:
    bool event(QEvent* e) override
    {
        (void)m_posted.load(std::memory_order_acquire);
        if (e->type() != CallEvent::callType())
            return QObject::event(e);
        static_cast<CallEvent*>(e)->run();
        return true;
    }

private:
    // Orders the making of each event before its delivery where ThreadSanitizer can see it.
    std::atomic<quint64> m_posted { 0 };
};

QtUiHandOff::QtUiHandOff() : m_receiver(std::make_unique<UiCallReceiver>()), m_uiThread(std::this_thread::get_id())
{
}

QtUiHandOff::~QtUiHandOff() = default;

bool QtUiHandOff::isUiThread() const
{
    return std::this_thread::get_id() == m_uiThread;
}

void QtUiHandOff::runOnUiThread(const std::function<void()>& procedure)
{
    // A blocking hand-off from the UI thread to itself would wait forever.
    if (isUiThread()) {
        procedure();
        return;
    }
    PendingCall call(procedure);
    m_receiver->post(call);
    std::unique_lock lock(call.mutex);
    call.finished.wait(lock, [&] { return call.state != PendingCall::Waiting; });
    if (call.state == PendingCall::Dropped)
        throw std::runtime_error("the UI thread did not run the handed-over procedure");
    if (call.error)
        std::rethrow_exception(call.error);
}
