#pragma once

#include "results/StringGridUtil.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <thread>
#include <vector>

class QObject;

// Reads a URL file off the UI thread: its lines, and the grid rows made of them by FillGridFromList
// on a model of the reading thread's own, so a million-line file does not hold the window. The
// result comes back on the receiver's thread. One read at a time.
// Thread affinity: used from the receiver's thread (the UI thread); destruction waits for a read.
class UrlFileReader
{
public:
    struct Result {
        QStringList lines;
        std::vector<ResultsModel::Row> rows;
        // The file's error (naming it) when it could not be read; then lines and rows are empty.
        QString error;
    };
    using Done = std::function<void(Result&)>;

    UrlFileReader() = default;
    ~UrlFileReader();
    UrlFileReader(const UrlFileReader&) = delete;
    UrlFileReader& operator=(const UrlFileReader&) = delete;

    // done runs on the receiver's thread, unless the receiver is gone by then.
    void read(const QString& path, QObject* receiver, Done done);
    bool isReading() const { return m_reading; }
    // Blocks until the read under way has ended (its result is still delivered).
    void wait();

private:
    std::thread m_thread;
    bool m_reading = false;
};
