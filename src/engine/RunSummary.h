#pragma once

#include <QString>
#include <QtGlobal>

// What a run did, handed to the front end when it has ended.
struct RunSummary {
    int rows = 0;
    // W: the smaller of the thread count and the row count; workersStarted is less only when
    // threads could not be created.
    int workers = 0;
    int workersStarted = 0;
    int started = 0;
    // Rows that got a page, rows whose fetch failed or whose job ended before writing its count.
    int fetched = 0;
    int failed = 0;
    // Rows never started: skipped after Abort, or dropped because no worker was left.
    int notRun = 0;
    qint64 matches = 0;
    qint64 elapsedMs = 0;
    // Abort was pressed (the abort flag was up at the end).
    bool aborted = false;
    // The owner asked the run to stop (closing the window, a signal): no end message is due.
    bool stopped = false;
    // "Extraction aborted" or "Extraction terminated".
    QString message;
};
