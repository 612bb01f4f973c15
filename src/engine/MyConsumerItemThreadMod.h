#pragma once

#include "engine/JobQueue.h"

#include <mutex>
#include <thread>

// A worker of a run's pool. It takes jobs off the queue, holding the take lock only around one
// pop, and runs them until it takes the stop signal. An error escaping a job ends this worker only
// and is logged.
// Thread affinity: its own thread, which owns the object; the run joins that thread.
class TMyConsumerItemMod
{
public:
    // Creates and starts one worker on the run's queue and take lock, which must outlive the
    // returned thread (join it first). Throws std::system_error when no thread can be made; such a
    // worker never existed: it will never pop.
    static std::thread Create(JobQueue& aQueue, std::mutex& CritSec);

    TMyConsumerItemMod(const TMyConsumerItemMod&) = delete;
    TMyConsumerItemMod& operator=(const TMyConsumerItemMod&) = delete;

private:
    TMyConsumerItemMod(JobQueue& aQueue, std::mutex& CritSec);
    void Execute();

    JobQueue& PQueue;
    std::mutex& PCriticalSection;
};
