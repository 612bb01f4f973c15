#pragma once

#include "engine/RunEvents.h"
#include "engine/RunTally.h"

#include <chrono>
#include <mutex>
#include <vector>

// The meeting point of one run's jobs and its front end. The jobs read their rows' inputs here and
// leave their steps and results; the front end's thread forwards edits of the inputs and takes what
// has gathered, in batches. Every member is thread-safe.
class RunChannel
{
public:
    // The inputs of every row, taken from the row store when the run starts.
    explicit RunChannel(std::vector<RowInput> inputs);

    RunChannel(const RunChannel&) = delete;
    RunChannel& operator=(const RunChannel&) = delete;

    int rowCount() const { return int(m_inputs.size()); }

    // An edit of column 0, 1 or 2 made during the run: a job that has not started yet reads it.
    void setInput(int row, int column, const QString& text);
    RowInput input(int row) const;

    // A job's first step: records that row m began and returns its inputs as they are now.
    RowInput rowStarted(int row);
    // A job's last step.
    void rowFinished(RowResult result);
    // A job that failed on its way: the row still ends with a count of 0 and the reason.
    void rowFailed(int row, const QString& outcome);
    // The clock's reading.
    void setElapsed(std::chrono::milliseconds elapsed);

    // Takes everything gathered since the previous call.
    RunProgress take();

    RunTally& tally() { return m_tally; }
    const RunTally& tally() const { return m_tally; }

private:
    mutable std::mutex m_mutex;
    std::vector<RowInput> m_inputs;
    // Per row: 0 not begun, 1 begun, 2 finished.
    std::vector<unsigned char> m_state;
    RunProgress m_pending;
    RunTally m_tally;
};
