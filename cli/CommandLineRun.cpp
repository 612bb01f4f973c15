#include "cli/CommandLineRun.h"

#include "app/ApplyRegex.h"
#include "app/Workspace.h"
#include "cli/InterruptSignals.h"
#include "engine/MatchCollector.h"
#include "engine/RunController.h"
#include "engine/UpdateGUIThread.h"
#include "engine/UrlJob.h"
#include "results/ResultsExport.h"
#include "text/FileUtil.h"

#include <QEventLoop>
#include <QRandomGenerator>

#include <cerrno>
#include <new>
#include <system_error>

#include <unistd.h>

namespace
{

void say(std::FILE* err, const QString& text)
{
    // A notice may carry the window's CR LF; on the command line it stays one line.
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    std::fprintf(err, "glimmerpick-cli: %s\n", line.toUtf8().constData());
    std::fflush(err);
}

// The command line's progress: one line on standard error at every tick of the run's clock (on a
// terminal rewritten in place, else once a second), and at once when the run is being stopped.
class ConsoleProgress
{
public:
    ConsoleProgress(std::FILE* err, bool quiet, int rows) :
        m_err(err), m_quiet(quiet), m_terminal(isatty(fileno(err)) != 0), m_rows(rows)
    {
    }

    void show(const RunProgress& batch)
    {
        m_tally = batch.tally;
        if (m_quiet || !batch.elapsed)
            return;
        const QString text = formatElapsedTime(*batch.elapsed);
        const bool changed = text != m_timeText;
        m_timeText = text;
        if (m_terminal || changed)
            print();
    }

    // From now on every line ends in "stopping...", the first one at once.
    void stopping()
    {
        m_stopping = true;
        if (!m_quiet)
            print();
    }

    // Ends a progress line left open on a terminal.
    void end()
    {
        if (m_terminal && m_progressShown)
            std::fputc('\n', m_err);
        m_progressShown = false;
    }

private:
    void print()
    {
        QString line = QStringLiteral("%1/%2 rows, %3 matches, %4 failed")
                           .arg(m_tally.completed)
                           .arg(m_rows)
                           .arg(m_tally.matches)
                           .arg(m_tally.failed);
        if (!m_timeText.isEmpty())
            line += QStringLiteral(", ") + m_timeText;
        if (m_stopping)
            line += QStringLiteral(", stopping...");
        std::fprintf(m_err, m_terminal ? "\r%s\033[K" : "%s\n", line.toUtf8().constData());
        std::fflush(m_err);
        m_progressShown = true;
    }

    std::FILE* m_err;
    const bool m_quiet;
    const bool m_terminal;
    const int m_rows;
    TallySnapshot m_tally;
    QString m_timeText;
    bool m_stopping = false;
    bool m_progressShown = false;
};

QByteArray tsvField(const QString& text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

QByteArray runReportTsv(const ResultsModel& grid)
{
    QByteArray out = "row\turl\tresult\toutcome\n";
    for (int r = 0; r < grid.rowCount(); ++r) {
        out += QByteArray::number(grid.rowNumber(r)) + '\t' + tsvField(grid.cell(r, ColumnUrl)) + '\t'
            + tsvField(grid.cell(r, ColumnMatchesNumber)) + '\t' + tsvField(grid.outcome(r)) + '\n';
    }
    return out;
}

namespace
{

// Writes all of bytes and flushes; false when the stream refused any of it.
bool writeAll(std::FILE* out, const QByteArray& bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out) == size_t(bytes.size())
        && std::fflush(out) == 0;
}

// Runs one write of what (for messages); a failure is named on a line of its own and does not stop
// the next write.
template <typename Write> bool writeOnItsOwn(std::FILE* err, const char* what, Write write)
{
    try {
        write();
        return true;
    } catch (const FileError& e) {
        say(err, QString::fromUtf8(e.what()));
    } catch (const std::bad_alloc&) {
        say(err, QStringLiteral("not enough memory to write %1").arg(QLatin1String(what)));
    }
    return false;
}

} // namespace

int listRegexLibrary(const QString& resourcesDir, std::FILE* out, std::FILE* err)
{
    Workspace workspace(resourcesDir);
    try {
        workspace.openLibrary();
    } catch (const LibraryError& e) {
        say(err, QString::fromUtf8(e.what()));
        return CliExitFailure;
    }
    QByteArray bytes;
    for (const RegexLibraryEntry& e : workspace.library().entries())
        bytes += libraryListLine(e).toUtf8() + '\n';
    if (!writeAll(out, bytes)) {
        say(err,
            QStringLiteral("cannot write the library list to standard output: %1")
                .arg(QString::fromStdString(std::generic_category().message(errno))));
        return CliExitFailure;
    }
    return CliExitCompleted;
}

int runCommandLine(const CommandLineOptions& options, std::FILE* out, std::FILE* err)
{
    // Asked before a long run, not after it.
    for (const QString& target : { options.outputFile, options.reportFile }) {
        if (target.isEmpty())
            continue;
        try {
            checkWritableTarget(target);
        } catch (const FileError& e) {
            say(err, QString::fromUtf8(e.what()));
            return CliExitUsage;
        }
    }

    seedIdentityRandom(QRandomGenerator::system()->generate64());
    // No start pause: nobody is there to press Abort.
    Workspace workspace(options.resourcesDir, 0);
    // The library is opened only when an entry is to be applied.
    try {
        workspace.startUp(options.regexName.has_value());
    } catch (const std::runtime_error& e) {
        say(err, QString::fromUtf8(e.what()));
        return CliExitFailure;
    }
    std::optional<RegexLibraryEntry> libraryEntry;
    if (options.regexName) {
        const RegexLibraryStore& store = workspace.library();
        const std::optional<int> position = store.findByDescription(*options.regexName);
        if (!position) {
            say(err,
                QStringLiteral("no entry \"%1\" in the regex library \"%2\" (--list-regex lists them)")
                    .arg(*options.regexName, store.path()));
            return CliExitUsage;
        }
        libraryEntry = store.entry(*position);
    }

    try {
        workspace.loadUrlFile(options.urlFile, options.shard);
    } catch (const FileError& e) {
        say(err, QString::fromUtf8(e.what()));
        return CliExitUsage;
    }
    if (libraryEntry)
        workspace.applyEntry(*libraryEntry);

    RunSettings& settings = workspace.settings();
    settings.ThreadCount = options.threads;
    settings.TimeoutThreads = options.timeoutSeconds;
    settings.EnableProxies = options.enableProxies;
    settings.RemoveDuplicated = options.removeDuplicated;
    settings.MaxPageBytes = std::uint64_t(options.maxPageMiB) * 1024 * 1024;
    const ResultsModel& grid = workspace.rows();
    RunController& controller = workspace.run();
    if (const QString refusal = controller.startRefusal(); !refusal.isEmpty()) {
        int row = 0;
        while (row < grid.rowCount() && !grid.cell(row, ColumnRegexPattern).isEmpty())
            ++row;
        say(err,
            row < grid.rowCount() ? QStringLiteral("row %1: %2").arg(grid.rowNumber(row)).arg(refusal) : refusal);
        return CliExitUsage;
    }
    if (const QString warning = proxyWarning(settings, workspace.lists()); !warning.isEmpty())
        say(err, QStringLiteral("warning: %1").arg(warning));

    ConsoleProgress progress(err, options.quiet, grid.rowCount());
    RunSummary summary;
    QEventLoop loop;
    QObject::connect(&controller, &RunController::progress, &loop, [&](const RunProgress& batch) {
        // Nothing may escape into the event loop; a progress line is not worth ending the run for.
        try {
            progress.show(batch);
        } catch (...) {
        }
    });
    QObject::connect(&controller, &RunController::finished, &loop, [&](const RunSummary& s) {
        summary = s;
        loop.quit();
    });
    // The first signal stops the run as Abort does and the results so far are written; a second
    // one ends the process at once.
    const InterruptSignals interrupts([&](int) {
        controller.requestStop();
        progress.stopping();
    });
    if (!controller.ButtonStartClick()) {
        say(err, QStringLiteral("the run could not start"));
        return CliExitFailure;
    }
    loop.exec();
    progress.end();

    if (!options.quiet && interrupts.received() == 0) {
        say(err,
            QStringLiteral("%1 rows: %2 fetched, %3 failed, %4 matches, %5 s")
                .arg(summary.rows)
                .arg(summary.fetched)
                .arg(summary.failed)
                .arg(summary.matches)
                .arg(double(summary.elapsedMs) / 1000.0, 0, 'f', 2));
    }
    if (summary.notRun > 0 && !summary.stopped) {
        // Only when threads could not be made: the export would look complete and not be.
        say(err,
            QStringLiteral("%1 of %2 rows were not run: only %3 of %4 worker threads could be started; "
                           "nothing written")
                .arg(summary.notRun)
                .arg(summary.rows)
                .arg(summary.workersStarted)
                .arg(summary.workers));
        return CliExitFailure;
    }

    // The export and the report each on its own: one that cannot be written never costs the other.
    bool written = writeOnItsOwn(err, "the export", [&] {
        if (!options.outputFile.isEmpty()) {
            ExportResultsToFile(grid, options.outputFile, options.format);
        } else if (!writeAll(out, exportResults(grid, options.format))) {
            throw FileError(QStringLiteral("cannot write the export to standard output: %1")
                                .arg(QString::fromStdString(std::generic_category().message(errno)))
                                .toStdString());
        }
    });
    if (!options.reportFile.isEmpty())
        written = writeOnItsOwn(err, "the report", [&] { writeFileWhole(options.reportFile, runReportTsv(grid)); })
            && written;
    // A row that ran out of memory lost its matches: the export is not whole, so say which rows.
    for (int r = 0; r < grid.rowCount(); ++r) {
        if (grid.outcome(r).contains(lostMatchesOutcome())) {
            say(err,
                QStringLiteral("row %1: %2; its matches are not in the export")
                    .arg(grid.rowNumber(r))
                    .arg(grid.outcome(r)));
            written = false;
        }
    }

    // Also a signal that came while the results were being written: they are complete then.
    if (const int stoppedBy = interrupts.received(); stoppedBy != 0) {
        say(err,
            QStringLiteral("interrupted by %1: %2 of %3 rows done (%4 fetched, %5 failed, %6 matches)")
                .arg(InterruptSignals::name(stoppedBy))
                .arg(summary.started)
                .arg(summary.rows)
                .arg(summary.fetched)
                .arg(summary.failed)
                .arg(summary.matches));
        return InterruptSignals::exitStatus(stoppedBy);
    }
    return written ? CliExitCompleted : CliExitFailure;
}
