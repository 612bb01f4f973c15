#include "app/Workspace.h"

#include "app/ApplyRegex.h"
#include "app/CommonVarsC.h"
#include "engine/RunController.h"
#include "engine/UrlJob.h"
#include "fetch/TransferLoop.h"
#include "results/ResultsExport.h"
#include "text/FileUtil.h"

#include <QDir>
#include <QtDebug>

#include <new>

namespace
{

QString withSeparator(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) || dir.endsWith(QDir::separator()) ? dir : dir + QDir::separator();
}

} // namespace

Workspace::Workspace(const QString& resourcesDir, int startPauseMs) :
    m_resourcesDir(resourcesDir.isEmpty() ? CommonVars().RESOURCESDIR : withSeparator(resourcesDir)),
    m_run(std::make_unique<RunController>(
        m_rows, m_settings, urlJobFactory({ m_settings, m_lists, &m_runTransfers }), startPauseMs))
{
    m_run->setStartCheck([this] { return proxyRefusal(m_settings, m_lists); });
    // One transfer loop per run. Made before the run's threads exist, ended after they have been joined.
    QObject::connect(m_run.get(), &RunController::runStarted, m_run.get(), [this] {
        // With a thread or two the hand-off to the loop costs more than it saves.
        if (m_settings.ThreadCount < TransferLoopMinThreads)
            return;
        try {
            m_transfers = std::make_unique<TransferLoop>();
            m_runTransfers = m_transfers.get();
        } catch (const std::exception& e) {
            // Without a loop every job fetches on its own worker: slower, the same results.
            qWarning("no transfer loop for this run: %s", e.what());
        }
    });
    QObject::connect(m_run.get(), &RunController::finished, m_run.get(), [this] {
        m_runTransfers = nullptr;
        m_transfers.reset();
    });
}

Workspace::~Workspace() = default;

QString Workspace::libraryPath() const
{
    return QDir::toNativeSeparators(m_resourcesDir + QStringLiteral("data.db"));
}

void Workspace::startUp(bool withLibrary)
{
    if (withLibrary)
        openLibrary();
    ReloadSettingsList();
}

void Workspace::openLibrary()
{
    m_library.open(libraryPath());
}

void Workspace::ReloadSettingsList()
{
    m_lists.ReloadSettingsList(m_resourcesDir);
}

void Workspace::loadUrlFile(const QString& path, const RowShard& shard)
{
    QStringList lines = LoadFileToStringList(path);
    // A file without a line leaves the grid as it was. Otherwise the grid is emptied first, so no
    // pattern or replacement of the previous rows (or typed into a cell) outlives the reload.
    if (lines.isEmpty())
        return;
    ClearGridColumn(m_rows, ColumnUrl);
    try {
        if (shard.count() == 1) {
            FillGridFromList(m_rows, lines, ColumnUrl, FieldSeparator, UrlLineFieldCount);
            return;
        }
        std::vector<int> numbers;
        FillGridFromList(m_rows, shard.select(lines, numbers), ColumnUrl, FieldSeparator, UrlLineFieldCount);
        m_rows.setRowNumbers(std::move(numbers));
    } catch (const std::bad_alloc&) {
        // Memory ran out while the rows were made: no half list is left to run.
        lines = QStringList();
        ClearGridColumn(m_rows, ColumnUrl);
        throw FileError(
            QStringLiteral("Cannot load file \"%1\". Not enough memory for its rows").arg(path).toStdString());
    }
}

QString Workspace::noRowsRefusal()
{
    return QStringLiteral("You must load urls before to apply regex");
}

QString Workspace::applyEntry(const RegexLibraryEntry& entry)
{
    if (m_rows.rowCount() == 0)
        return noRowsRefusal();
    applyLibraryEntry(m_rows, entry);
    return QString();
}

void Workspace::exportMatches(const QString& path) const
{
    ExportColumnValuesToTextFile(m_rows, path, ColumnMatches, FieldSeparator);
}

void Workspace::exportCsv(const QString& path) const
{
    ExportResultsToFile(m_rows, path, ExportFormat::Csv);
}

void Workspace::exportJsonLines(const QString& path) const
{
    ExportResultsToFile(m_rows, path, ExportFormat::JsonLines);
}
