#pragma once

#include <chrono>
#include <cstdint>

// A budget of CPU time of the calling thread, for bounding one row's matching. passed() is cheap
// enough to ask at every engine call and callout: now and then it reads a coarse wall clock, and
// the thread's CPU clock (a system call) only once enough wall time has gone by for the budget to
// be possibly spent, since a thread cannot use more CPU time than wall time. So the many rows that
// take a few milliseconds never read it. Its first reading takes the CPU time used so far to be
// the wall time gone by, so the deadline may come early by that first wait (a hundredth of the
// budget, 50 ms at most) but never late by more than a tick of the coarse clock.
// Use it on the thread that made it.
class MatchDeadline
{
public:
    explicit MatchDeadline(std::chrono::nanoseconds budget);

    bool passed()
    {
        if (m_passed)
            return true;
        return --m_countdown > 0 ? false : look();
    }
    std::chrono::nanoseconds budget() const { return m_budget; }

    // passed() reads even the coarse clock only at every this many calls: callouts before every
    // item of a pattern ask tens of millions of times a second. Between two readings the engine
    // does at most that many steps of one item each.
    static constexpr int AskedPerClockReading = 8;

private:
    bool look();

    std::chrono::nanoseconds m_budget;
    std::int64_t m_wallStart = 0; // coarse monotonic clock, ns
    std::int64_t m_nextLook = 0; // coarse monotonic clock, ns: no need to look at the CPU clock before
    std::int64_t m_cpuEnd = -1; // thread CPU clock, ns; -1 until first read
    int m_countdown = 1;
    bool m_passed = false;
};
