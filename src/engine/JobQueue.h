#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// A job: one row's work, run once by one worker. The empty job is the workers' stop signal.
using Job = std::function<void()>;

// Bounded first-in-first-out queue of jobs, safe for any number of producers and consumers.
// Besides the jobs it counts its consumers (the workers of the run), so that a producer waiting
// for room is let go once every consumer has ended and nothing would ever make room again.
// It must outlive every thread that uses it; destroying it releases the jobs still held, unrun.
class JobQueue
{
public:
    static constexpr int DefaultCapacity = 5000;

    explicit JobQueue(int capacity = DefaultCapacity);

    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // Waits while the queue is full. Returns false, and drops the job, when no consumer is left.
    bool push(Job job);
    // Waits while the queue is empty.
    Job pop();

    // A consumer registers before it first pops and deregisters when it will pop no more.
    void addConsumer();
    void removeConsumer();

    int size() const;

private:
    const int m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_notEmpty;
    std::condition_variable m_notFull;
    std::deque<Job> m_jobs;
    int m_consumers = 0;
};
