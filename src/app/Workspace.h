#pragma once

#include "engine/RunSettings.h"
#include "fetch/IdentityLists.h"
#include "library/RegexLibraryStore.h"
#include "results/RowShard.h"
#include "results/StringGridUtil.h"

#include <QString>

#include <memory>

class RunController;
class TransferLoop;

// The composition root of both front ends: it owns the library store, the identity lists, the run
// settings, the row store and the run controller, does the start-up loads in their order and offers
// the commands a front end gives. No widgets: the window and the command line build on it.
// Thread affinity: the thread that creates it, which must run an event loop while a run goes.
class Workspace
{
public:
    // resourcesDir: the folder of the identity lists and data.db; empty means the "resources"
    // folder beside the executable.
    explicit Workspace(const QString& resourcesDir = QString(), int startPauseMs = 2000);
    ~Workspace();

    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // The folder, ending with a separator.
    const QString& ResourcesFilesPath() const { return m_resourcesDir; }
    QString libraryPath() const;

    // Start-up in its order: the library store (when asked), then the three identity lists. Throws
    // LibraryError or FileError, whose text names the file and the reason.
    void startUp(bool withLibrary = true);
    void openLibrary();
    // Reloads the three identity lists; on error nothing changes and FileError names the file.
    void ReloadSettingsList();

    RegexLibraryStore& library() { return m_library; }
    IdentityLists& lists() { return m_lists; }
    RunSettings& settings() { return m_settings; }
    ResultsModel& rows() { return m_rows; }
    const ResultsModel& rows() const { return m_rows; }
    RunController& run() { return *m_run; }

    // Replaces the rows with the URL file's lines (URL||PATTERN||REPLACEMENT), or with the lines of
    // one shard of it, each row keeping its line's number. A file without a line changes nothing.
    // Throws FileError, and then the rows stay as they were (but are emptied when memory ran out
    // while they were being made).
    void loadUrlFile(const QString& path, const RowShard& shard = RowShard());
    // Writes the entry into every row (a NULL pattern or replacement leaves its column). Returns the
    // refusal when there are no rows, else an empty text.
    QString applyEntry(const RegexLibraryEntry& entry);
    // The text export of the match lists. Throws FileError.
    void exportMatches(const QString& path) const;
    // The exports that keep each match with its row (ResultsExport.h). Throw FileError.
    void exportCsv(const QString& path) const;
    void exportJsonLines(const QString& path) const;

    static QString noRowsRefusal();
    // Runs with at least this many threads carry their fetches on one transfer loop.
    static constexpr int TransferLoopMinThreads = 4;

private:
    QString m_resourcesDir;
    RegexLibraryStore m_library;
    IdentityLists m_lists;
    RunSettings m_settings;
    ResultsModel m_rows;
    // The transfer loop of the run under way: made when a run starts, ended once its workers have.
    std::unique_ptr<TransferLoop> m_transfers;
    TransferLoop* m_runTransfers = nullptr;
    // Last: destroyed first, so a run still going is stopped and joined while all it reads exists.
    std::unique_ptr<RunController> m_run;
};
