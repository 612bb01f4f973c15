#pragma once

#include <condition_variable>
#include <mutex>

// The end countdown of a run: signalled once the count has reached zero, and from the start when
// created with zero. The last signal() holds the lock until it has woken the waiter, so the waiter
// may destroy the object as soon as wait() returns.
class CountdownEvent
{
public:
    explicit CountdownEvent(int count);

    CountdownEvent(const CountdownEvent&) = delete;
    CountdownEvent& operator=(const CountdownEvent&) = delete;

    // Decrements by one; a count already at zero stays there.
    void signal();
    void wait();
    bool isSet() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_zero;
    int m_count;
};
