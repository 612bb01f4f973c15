#pragma once

// The ranges of the run settings a front end offers (thread-count box and --threads, timeout box
// and --timeout), in one place for the window and the command line.
namespace RunLimits
{
constexpr int MinThreads = 1;
constexpr int MaxThreads = 60;
constexpr int MinTimeoutSeconds = 3;
constexpr int MaxTimeoutSeconds = 30;
// The command line's default; the window starts at the minimum.
constexpr int DefaultCliTimeoutSeconds = 10;
} // namespace RunLimits
