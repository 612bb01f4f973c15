#pragma once

#include <QtGlobal>

#include <atomic>

// Live counters of one run, written by the jobs and read by anyone (progress display, summary).
struct RunTally {
    // Rows whose job made its first UI step.
    std::atomic<int> started { 0 };
    // Rows whose job wrote its count (the second UI step).
    std::atomic<int> completed { 0 };
    // Of the completed rows, those whose fetch gave no page.
    std::atomic<int> failed { 0 };
    std::atomic<qint64> matches { 0 };

    void reset()
    {
        started = 0;
        completed = 0;
        failed = 0;
        matches = 0;
    }
};
