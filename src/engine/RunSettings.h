#pragma once

#include "fetch/HttpUtilC.h"

#include <atomic>
#include <cstdint>

// The run settings that worker threads read while a run goes. The window (or the command line)
// mirrors its controls into them on its own thread; each value is read whole, so atomics suffice.
struct RunSettings {
    // Abort request: set by Abort, cleared by the controller after the start pause, tested by each job.
    std::atomic<bool> StopThreadingFlag { false };
    // Request time limit in seconds, read by each job when it creates its fetcher.
    std::atomic<int> TimeoutThreads { 3 };
    // "Enable proxies", read once by each job before it fetches.
    std::atomic<bool> EnableProxies { false };
    // "Remove duplicated", read once per page by the collector call.
    std::atomic<bool> RemoveDuplicated { false };
    // The thread-count box, read by the controller when a run starts.
    std::atomic<int> ThreadCount { 1 };
    // The largest page a fetch takes (--max-page-mb), read by each job.
    std::atomic<std::uint64_t> MaxPageBytes { HttpUtil::DefaultMaxPageBytes };
};
