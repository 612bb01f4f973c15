#include "engine/MyConsumerItemThreadMod.h"

#include <QtDebug>

#include <exception>
#include <memory>
#include <thread>

#ifdef __linux__
#include <pthread.h>
#endif

namespace
{

// For debuggers only. Linux keeps 15 bytes of a thread name.
void nameCurrentThread(const char* name)
{
#ifdef __linux__
    char shortName[16] = {};
    for (int i = 0; i < 15 && name[i]; ++i)
        shortName[i] = name[i];
    pthread_setname_np(pthread_self(), shortName);
#else
    (void)name;
#endif
}

} // namespace

TMyConsumerItemMod::TMyConsumerItemMod(JobQueue& aQueue, std::mutex& CritSec) :
    PQueue(aQueue), PCriticalSection(CritSec)
{
}

std::thread TMyConsumerItemMod::Create(JobQueue& aQueue, std::mutex& CritSec)
{
    std::unique_ptr<TMyConsumerItemMod> worker(new TMyConsumerItemMod(aQueue, CritSec));
    // Registered before the thread exists, so the queue never sees a live worker uncounted.
    aQueue.addConsumer();
    try {
        return std::thread([self = std::move(worker)] { self->Execute(); });
    } catch (...) {
        aQueue.removeConsumer();
        throw;
    }
}

void TMyConsumerItemMod::Execute()
{
    nameCurrentThread("MyConsumerItemThreadMod worker");
    try {
        for (;;) {
            // Each job is released when its turn ends, before the next pop and before the
            // countdown: after the countdown the controller frees what a job may refer to.
            Job item;
            {
                std::lock_guard take(PCriticalSection);
                item = PQueue.pop();
            }
            if (!item)
                break;
            item();
        }
    } catch (const std::exception& e) {
        // A job that fails ends its worker; the others go on.
        qWarning("worker ends after a failed job: %s", e.what());
    } catch (...) {
        qWarning("worker ends after a failed job");
    }
    PQueue.removeConsumer();
}
