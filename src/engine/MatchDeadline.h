#pragma once

#include <chrono>
#include <cstdint>

// A budget of CPU time of the calling thread, for bounding one row's matching. passed() is cheap
// enough to ask at every engine call and callout: it reads a coarse wall clock, and the thread's
// CPU clock only once enough wall time has gone by for the budget to be possibly spent (a thread
// cannot use more CPU time than wall time). Use it on the thread that made it.
class MatchDeadline
{
public:
    explicit MatchDeadline(std::chrono::nanoseconds budget);

    bool passed();
    std::chrono::nanoseconds budget() const { return m_budget; }

private:
    std::chrono::nanoseconds m_budget;
    std::int64_t m_cpuEnd = 0; // thread CPU clock, ns
    std::int64_t m_nextLook = 0; // coarse monotonic clock, ns: no need to look at the CPU clock before
    bool m_passed = false;
};
