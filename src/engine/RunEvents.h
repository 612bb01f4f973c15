#pragma once

#include "engine/RunTally.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

// Values a run hands to its front end; plain data, copied between threads.

// What a job reads of its row when it starts: columns 0 to 2.
struct RowInput {
    QString url;
    QString pattern;
    QString replacement;
};

// What a job leaves in its row: column 3, column 4 and the fetch outcome.
struct RowResult {
    int row = -1;
    int count = 0;
    QString matches;
    QString outcome;
    // The values themselves, only where matches split at "||" would not give them back.
    QStringList values;
};

// The counters of a run at one moment.
struct TallySnapshot {
    int started = 0;
    int completed = 0;
    int failed = 0;
    qint64 matches = 0;
};

// One delivery: everything that happened since the previous one, in the order it happened.
struct RunProgress {
    // Rows whose job began ("Fetching page..."), in the order they began.
    std::vector<int> started;
    std::vector<RowResult> results;
    // The clock's latest reading, when it ticked since the previous delivery.
    std::optional<std::chrono::milliseconds> elapsed;
    TallySnapshot tally;

    bool isEmpty() const { return started.empty() && results.empty() && !elapsed; }
};
