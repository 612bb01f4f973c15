#pragma once

#include "engine/JobQueue.h"

#include <mutex>

class CountdownEvent;

// A worker of a run's pool. It takes jobs off the queue, holding the take lock only around one
// pop, and runs them until it takes the stop signal. On its way out, by any path, it counts
// itself down; an error escaping a job ends this worker only and is dropped.
// Thread affinity: its own thread, which owns and frees the object. Nobody keeps a reference to a
// worker: the run learns of its end only through the countdown.
class TMyConsumerItemMod
{
public:
    // Creates and starts one worker on the run's queue, countdown and take lock, which must
    // outlive it (the controller destroys them only after the countdown). Throws
    // std::system_error when no thread can be made; such a worker never existed: it will neither
    // pop nor count down.
    static void Create(JobQueue& aQueue, CountdownEvent& aSignal, std::mutex& CritSec);

    TMyConsumerItemMod(const TMyConsumerItemMod&) = delete;
    TMyConsumerItemMod& operator=(const TMyConsumerItemMod&) = delete;

private:
    TMyConsumerItemMod(JobQueue& aQueue, CountdownEvent& aSignal, std::mutex& CritSec);
    void Execute();

    JobQueue& PQueue;
    CountdownEvent& PSignal;
    std::mutex& PCriticalSection;
};
