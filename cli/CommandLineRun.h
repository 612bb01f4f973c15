#pragma once

#include "engine/RunLimits.h"
#include "results/ResultsExport.h"
#include "results/RowShard.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <optional>

class ResultsModel;

// Exit status of glimmerpick-cli.
enum CliExit : int {
    // The run completed (pages may have failed).
    CliExitCompleted = 0,
    // An identity file missing or unreadable, or a result that could not be written.
    CliExitFailure = 1,
    // Usage error, unreadable URL file, an output or report file that cannot be written, a refused start.
    CliExitUsage = 2
    // 128 + the signal (130 SIGINT, 143 SIGTERM): the run was stopped and what it did was written
    // (InterruptSignals).
};

struct CommandLineOptions {
    QString urlFile;
    // Empty: the export goes to standard output.
    QString outputFile;
    ExportFormat format = ExportFormat::Text;
    // Only this shard's lines of the URL file are run; exports and report keep the lines' numbers.
    RowShard shard;
    // Empty: no report.
    QString reportFile;
    // Empty: the resources folder beside the executable.
    QString resourcesDir;
    // Set: the library entry with this description is applied to every row before the run.
    std::optional<QString> regexName;
    int threads = 1;
    int timeoutSeconds = RunLimits::DefaultCliTimeoutSeconds;
    bool enableProxies = false;
    // The largest page taken, in MiB (--max-page-mb).
    int maxPageMiB = 128;
    bool removeDuplicated = false;
    bool quiet = false;
};

// One extraction run without a window, on the GUI's workspace (engine, row store, URL-file loader
// and export): checks that the output and report files can be written, loads the identity lists
// and the URL file, refuses what Start would refuse, runs with no start pause, then writes the
// export (to the output file or to out) and the report, each on its own. The first SIGINT or
// SIGTERM stops the run and the rows done are written. Progress and messages go to err, one line
// each. Returns a CliExit value or 128 + the signal.
// Needs a QCoreApplication on this thread; its event loop runs here while the run goes.
int runCommandLine(const CommandLineOptions& options, std::FILE* out, std::FILE* err);

// `--list-regex`: the library's entries, one line each, on out. Returns a CliExit value.
int listRegexLibrary(const QString& resourcesDir, std::FILE* out, std::FILE* err);

// The per-row report: a header line, then row number (the line's in the URL file, 1-based), URL,
// column-3 text and fetch outcome, tab-separated, LF-ended, UTF-8. Tabs, line breaks and
// backslashes inside a field are written as \t, \n, \r and \\.
QByteArray runReportTsv(const ResultsModel& grid);
