#include "engine/MatchDeadline.h"

#include <algorithm>
#include <ctime>

namespace
{

std::int64_t nanoseconds(clockid_t clock)
{
    timespec t {};
    clock_gettime(clock, &t);
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// The coarse clock is read through the vDSO in a few nanoseconds; its tick (a few ms) only
// delays the moment the CPU clock is looked at.
std::int64_t wallNow()
{
    return nanoseconds(CLOCK_MONOTONIC_COARSE);
}

std::int64_t cpuNow()
{
    return nanoseconds(CLOCK_THREAD_CPUTIME_ID);
}

} // namespace

MatchDeadline::MatchDeadline(std::chrono::nanoseconds budget) :
    m_budget(budget),
    m_wallStart(wallNow()),
    m_nextLook(m_wallStart + std::min<std::int64_t>(budget.count() / 100, 50'000'000))
{
}

bool MatchDeadline::look()
{
    m_countdown = AskedPerClockReading;
    const std::int64_t wall = wallNow();
    if (wall < m_nextLook)
        return false;
    const std::int64_t cpu = cpuNow();
    if (m_cpuEnd < 0)
        m_cpuEnd = cpu - (wall - m_wallStart) + m_budget.count();
    const std::int64_t left = m_cpuEnd - cpu;
    if (left <= 0)
        m_passed = true;
    else
        m_nextLook = wall + left;
    return m_passed;
}
