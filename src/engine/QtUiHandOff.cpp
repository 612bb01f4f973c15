#include "engine/QtUiHandOff.h"

#include <QMetaObject>

#include <atomic>
#include <exception>
#include <stdexcept>

QtUiHandOff::QtUiHandOff() : m_receiver(std::make_unique<QObject>()), m_uiThread(std::this_thread::get_id()) { }

QtUiHandOff::~QtUiHandOff() = default;

bool QtUiHandOff::isUiThread() const
{
    return std::this_thread::get_id() == m_uiThread;
}

void QtUiHandOff::runOnUiThread(const std::function<void()>& procedure)
{
    // A blocking invocation from the UI thread to itself would wait forever.
    if (isUiThread()) {
        procedure();
        return;
    }
    std::exception_ptr error;
    // The blocking call orders everything already; the two flags repeat that ordering where
    // ThreadSanitizer can see it (Qt's own semaphore is invisible to it), and `ran` tells a
    // procedure that ran from one dropped because the receiver went away.
    std::atomic<bool> handedOver { true };
    std::atomic<bool> ran { false };
    handedOver.store(true, std::memory_order_release);
    const bool invoked = QMetaObject::invokeMethod(
        m_receiver.get(),
        [&] {
            (void)handedOver.load(std::memory_order_acquire);
            // No exception may cross the event loop: it is carried back to the caller instead.
            try {
                procedure();
            } catch (...) {
                error = std::current_exception();
            }
            ran.store(true, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    if (!invoked || !ran.load(std::memory_order_acquire))
        throw std::runtime_error("the UI thread did not run the handed-over procedure");
    if (error)
        std::rethrow_exception(error);
}
