#pragma once

#include <QObject>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// Measures how long the UI thread takes to answer: a thread of its own posts a stamped call to the
// UI thread every interval, and the delay between posting and running is one sample (what a click or
// a repaint would wait).
class UiLatencyProbe : public QObject
{
public:
    explicit UiLatencyProbe(std::chrono::milliseconds interval = std::chrono::milliseconds(5));
    ~UiLatencyProbe() override;

    void start();
    void stop();

    struct Figures {
        size_t samples = 0;
        double p50Ms = 0;
        double p99Ms = 0;
        double maxMs = 0;
    };
    Figures figures() const;

private:
    using Clock = std::chrono::steady_clock;
    void record(Clock::time_point posted);

    const std::chrono::milliseconds m_interval;
    std::atomic<bool> m_running { false };
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<double> m_samplesMs;
};
