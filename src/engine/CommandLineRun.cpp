#include "engine/CommandLineRun.h"

#include "app/CommonVarsC.h"
#include "engine/DirectUiHandOff.h"
#include "engine/ModelUiHandOff.h"
#include "engine/RunController.h"
#include "engine/RunSettings.h"
#include "engine/UrlJob.h"
#include "fetch/IdentityLists.h"
#include "fetch/TransferLoop.h"
#include "library/ApplyRegex.h"
#include "library/RegexLibraryStore.h"
#include "results/FileUtil.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRandomGenerator>

#include <mutex>

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

// The command line's window: the grid and labels as kept texts, and a progress line on standard
// error at every tick of the run's clock (on a terminal rewritten in place, else once a second).
class ConsoleView : public ModelUiHandOff
{
public:
    ConsoleView(std::FILE* err, bool quiet) : m_err(err), m_quiet(quiet), m_terminal(isatty(fileno(err)) != 0) { }

    void watch(const RunTally* tally) { m_tally = tally; }

    // Whatever the run hands to this thread runs under the lock the jobs' direct hand-off takes.
    void runOnUiThread(const std::function<void()>& procedure) override
    {
        ModelUiHandOff::runOnUiThread([&] {
            std::lock_guard lock(m_lock);
            procedure();
        });
    }

    // The jobs' hand-off: no round trip through this thread's event loop per row.
    UiHandOff& jobsHandOff() { return m_jobsHandOff; }

    void setTimeText(const QString& text) override
    {
        const bool changed = text != timeText();
        ModelUiHandOff::setTimeText(text);
        if (m_quiet || !m_tally || (!m_terminal && !changed))
            return;
        const QByteArray line = QStringLiteral("%1/%2 rows, %3 matches, %4 failed, %5")
                                    .arg(m_tally->completed.load())
                                    .arg(grid().rowCount())
                                    .arg(m_tally->matches.load())
                                    .arg(m_tally->failed.load())
                                    .arg(text)
                                    .toUtf8();
        std::fprintf(m_err, m_terminal ? "\r%s\033[K" : "%s\n", line.constData());
        std::fflush(m_err);
        m_progressShown = true;
    }

    // Ends a progress line left open on a terminal.
    void endProgress()
    {
        if (m_terminal && m_progressShown)
            std::fputc('\n', m_err);
        m_progressShown = false;
    }

private:
    std::FILE* m_err;
    const bool m_quiet;
    const bool m_terminal;
    const RunTally* m_tally = nullptr;
    bool m_progressShown = false;
    std::mutex m_lock;
    DirectUiHandOff m_jobsHandOff { *this, m_lock };
};

QString withSeparator(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) || dir.endsWith(QDir::separator()) ? dir : dir + QDir::separator();
}

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
        out += QByteArray::number(r + 1) + '\t' + tsvField(grid.cell(r, ColumnUrl)) + '\t'
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

// The library is data.db in the resources folder: --resources DIR, or the one beside the executable.
QString libraryPath(const QString& resourcesDir)
{
    if (resourcesDir.isEmpty())
        return RegexLibraryStore::defaultPath(CommonVars().MAINDIR);
    return QDir::toNativeSeparators(withSeparator(resourcesDir) + QStringLiteral("data.db"));
}

} // namespace

int listRegexLibrary(const QString& resourcesDir, std::FILE* out, std::FILE* err)
{
    RegexLibraryStore store;
    try {
        store.open(libraryPath(resourcesDir));
    } catch (const LibraryError& e) {
        say(err, QString::fromUtf8(e.what()));
        return CliExitFailure;
    }
    QByteArray bytes;
    for (const RegexLibraryEntry& e : store.entries())
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
    IdentityLists lists;
    try {
        const QString resources
            = options.resourcesDir.isEmpty() ? CommonVars().RESOURCESDIR : withSeparator(options.resourcesDir);
        lists.ReloadSettingsList(resources);
    } catch (const FileError& e) {
        say(err, QString::fromUtf8(e.what()));
        return CliExitFailure;
    }

    // The library is opened only when an entry is to be applied.
    std::optional<RegexLibraryEntry> libraryEntry;
    if (options.regexName) {
        RegexLibraryStore store;
        try {
            store.open(libraryPath(options.resourcesDir));
        } catch (const LibraryError& e) {
            say(err, QString::fromUtf8(e.what()));
            return CliExitFailure;
        }
        const std::optional<int> position = store.findByDescription(*options.regexName);
        if (!position) {
            say(err,
                QStringLiteral("no entry \"%1\" in the regex library \"%2\" (--list-regex lists them)")
                    .arg(*options.regexName, store.path()));
            return CliExitUsage;
        }
        libraryEntry = store.entry(*position);
    }

    ConsoleView view(err, options.quiet);
    try {
        const QStringList lines = LoadFileToStringList(options.urlFile);
        FillGridFromList(view.grid(), lines, ColumnUrl, QStringLiteral("||"), 3);
    } catch (const FileError& e) {
        say(err, QString::fromUtf8(e.what()));
        return CliExitUsage;
    }
    if (libraryEntry)
        applyLibraryEntry(view.grid(), *libraryEntry);

    RunSettings settings;
    settings.ThreadCount = options.threads;
    settings.TimeoutThreads = options.timeoutSeconds;
    settings.EnableProxies = options.enableProxies;
    settings.RemoveDuplicated = options.removeDuplicated;
    // Declared before the controller, so that it ends after the workers.
    TransferLoop transfers;
    RunController controller(
        view, settings, urlJobFactory({ view.jobsHandOff(), settings, lists, &transfers }), 0);
    controller.setStartCheck([&] { return proxyRefusal(settings, lists); });
    if (const QString refusal = controller.startRefusal(); !refusal.isEmpty()) {
        int row = 0;
        while (row < view.grid().rowCount() && !view.grid().cell(row, ColumnRegexPattern).isEmpty())
            ++row;
        say(err, row < view.grid().rowCount() ? QStringLiteral("row %1: %2").arg(row + 1).arg(refusal) : refusal);
        return CliExitUsage;
    }

    view.watch(&controller.tally());
    RunSummary summary;
    QEventLoop loop;
    controller.setFinishedHandler([&](const RunSummary& s) {
        summary = s;
        loop.quit();
    });
    if (!controller.ButtonStartClick()) {
        say(err, QStringLiteral("the run could not start"));
        return CliExitFailure;
    }
    loop.exec();
    view.endProgress();

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
            writeFileWhole(options.reportFile, runReportTsv(view.grid()));
        if (!options.outputFile.isEmpty()) {
            ExportColumnValuesToTextFile(view.grid(), options.outputFile, ColumnMatches, QStringLiteral("||"));
        } else {
            const QByteArray bytes = exportColumnValues(view.grid(), ColumnMatches, QStringLiteral("||"));
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
