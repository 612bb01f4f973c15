#include "UiLatencyProbe.h"

#include <algorithm>

UiLatencyProbe::UiLatencyProbe(std::chrono::milliseconds interval) : m_interval(interval) { }

UiLatencyProbe::~UiLatencyProbe()
{
    stop();
}

void UiLatencyProbe::start()
{
    m_running = true;
    m_thread = std::thread([this] {
        while (m_running) {
            const Clock::time_point posted = Clock::now();
            QMetaObject::invokeMethod(
                this, [this, posted] { record(posted); }, Qt::QueuedConnection);
            std::this_thread::sleep_for(m_interval);
        }
    });
}

void UiLatencyProbe::stop()
{
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
}

void UiLatencyProbe::record(Clock::time_point posted)
{
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - posted).count();
    std::lock_guard lock(m_mutex);
    m_samplesMs.push_back(ms);
}

UiLatencyProbe::Figures UiLatencyProbe::figures() const
{
    std::vector<double> v;
    {
        std::lock_guard lock(m_mutex);
        v = m_samplesMs;
    }
    Figures f;
    f.samples = v.size();
    if (v.empty())
        return f;
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) { return v[std::min(v.size() - 1, size_t(q * double(v.size())))]; };
    f.p50Ms = at(0.50);
    f.p99Ms = at(0.99);
    f.maxMs = v.back();
    return f;
}
