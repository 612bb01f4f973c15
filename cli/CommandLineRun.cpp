#include "cli/CommandLineRun.h"

#include "app/ApplyRegex.h"
#include "app/Workspace.h"
#include "engine/RunController.h"
#include "engine/UpdateGUIThread.h"
#include "results/ResultsExport.h"
#include "text/FileUtil.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRandomGenerator>

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
// terminal rewritten in place, else once a second).
class ConsoleProgress
{
public:
    ConsoleProgress(std::FILE* err, bool quiet) : m_err(err), m_quiet(quiet), m_terminal(isatty(fileno(err)) != 0)
    {
    }

    void show(const RunProgress& batch, int rows)
    {
        if (m_quiet || !batch.elapsed)
            return;
        const QString text = formatElapsedTime(*batch.elapsed);
        const bool changed = text != m_timeText;
        m_timeText = text;
        if (!m_terminal && !changed)
            return;
        const QByteArray line = QStringLiteral("%1/%2 rows, %3 matches, %4 failed, %5")
                                    .arg(batch.tally.completed)
                                    .arg(rows)
                                    .arg(batch.tally.matches)
                                    .arg(batch.tally.failed)
                                    .arg(text)
                                    .toUtf8();
        std::fprintf(m_err, m_terminal ? "\r%s\033[K" : "%s\n", line.constData());
        std::fflush(m_err);
        m_progressShown = true;
    }

    // Ends a progress line left open on a terminal.
    void end()
    {
        if (m_terminal && m_progressShown)
            std::fputc('\n', m_err);
        m_progressShown = false;
    }

private:
    std::FILE* m_err;
    const bool m_quiet;
    const bool m_terminal;
    QString m_timeText;
    bool m_progressShown = false;
};

// A result file can only be written where its folder exists; asked before a long run, not after it.
QString unwritableTarget(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("cannot write \"%1\": it is a folder").arg(path);
    if (!info.absoluteDir().exists())
        return QStringLiteral("cannot write \"%1\": no folder \"%2\"").arg(path, info.absolutePath());
    return QString();
}

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
        say(err, QStringLiteral("cannot write the library list to standard output"));
        return CliExitFailure;
    }
    return CliExitCompleted;
}

int runCommandLine(const CommandLineOptions& options, std::FILE* out, std::FILE* err)
{
    for (const QString& target : { options.outputFile, options.reportFile }) {
        if (target.isEmpty())
            continue;
        if (const QString problem = unwritableTarget(target); !problem.isEmpty()) {
            say(err, problem);
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

    ConsoleProgress progress(err, options.quiet);
    RunSummary summary;
    QEventLoop loop;
    QObject::connect(&controller, &RunController::progress, &loop,
        [&](const RunProgress& batch) { progress.show(batch, grid.rowCount()); });
    QObject::connect(&controller, &RunController::finished, &loop, [&](const RunSummary& s) {
        summary = s;
        loop.quit();
    });
    if (!controller.ButtonStartClick()) {
        say(err, QStringLiteral("the run could not start"));
        return CliExitFailure;
    }
    loop.exec();
    progress.end();

    if (!options.quiet) {
        say(err,
            QStringLiteral("%1 rows: %2 fetched, %3 failed, %4 matches, %5 s")
                .arg(summary.rows)
                .arg(summary.fetched)
                .arg(summary.failed)
                .arg(summary.matches)
                .arg(double(summary.elapsedMs) / 1000.0, 0, 'f', 2));
    }
    if (summary.notRun > 0) {
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

    try {
        if (!options.reportFile.isEmpty())
            writeFileWhole(options.reportFile, runReportTsv(grid));
        if (!options.outputFile.isEmpty()) {
            ExportResultsToFile(grid, options.outputFile, options.format);
        } else {
            const QByteArray bytes = exportResults(grid, options.format);
            if (!writeAll(out, bytes)) {
                say(err, QStringLiteral("cannot write the export to standard output"));
                return CliExitFailure;
            }
        }
    } catch (const FileError& e) {
        say(err, QString::fromUtf8(e.what()));
        return CliExitFailure;
    }
    return CliExitCompleted;
}
