#include "engine/MyConsumerItemThreadMod.h"

#include "engine/CountdownEvent.h"

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

TMyConsumerItemMod::TMyConsumerItemMod(JobQueue& aQueue, CountdownEvent& aSignal, std::mutex& CritSec) :
    PQueue(aQueue), PSignal(aSignal), PCriticalSection(CritSec)
{
}

void TMyConsumerItemMod::Create(JobQueue& aQueue, CountdownEvent& aSignal, std::mutex& CritSec)
{
    std::unique_ptr<TMyConsumerItemMod> worker(new TMyConsumerItemMod(aQueue, aSignal, CritSec));
    // Registered before the thread exists, so the queue never sees a live worker uncounted.
    aQueue.addConsumer();
    try {
        std::thread([self = std::move(worker)] { self->Execute(); }).detach();
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
    } catch (...) {
        // A job that fails ends its worker; the others go on, and the run is not told.
    }
    PQueue.removeConsumer();
    PSignal.signal();
}
