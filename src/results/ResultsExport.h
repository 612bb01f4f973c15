#pragma once

#include <QByteArray>
#include <QString>

class ResultsModel;

// Writes every piece of the given column's cells, split at separator, one per line with CR LF,
// in UTF-8 without a byte-order mark. The file is replaced whole or not at all: on failure the
// previous file (if any) stays and FileError names the file and the reason. A device or FIFO is
// written through instead (writeFileWhole).
void ExportColumnValuesToTextFile(
    const ResultsModel& grid, const QString& path, int column, const QString& separator);

// The export as bytes, for callers that write elsewhere (standard output).
QByteArray exportColumnValues(const ResultsModel& grid, int column, const QString& separator);

// The formats a run's results can be written in. Text is the export above over the match lists;
// the other two keep each match with its row and are built from the rows' match values
// (ResultsModel::matchValues), so a match holding "||", CR or LF comes out exactly.
enum class ExportFormat { Text, Csv, JsonLines };

// CSV as RFC 4180 has it: the header "row,url,match", then one record per match in row order,
// row being the row's number in its URL list; a row without matches has no record. A field is
// quoted when it holds a comma, a double quote, CR or LF (quotes doubled inside). UTF-8 without a
// byte-order mark, CR LF after every record.
QByteArray exportCsv(const ResultsModel& grid);

// JSON Lines: one object per row, every row included, with "row" (its number in its URL list),
// "url", "count" (the number of matches), "matches" (an array of strings) and "outcome" (empty
// for a fetched page, the reason when there was none, notRunOutcome() when no run reached the row).
// UTF-8, LF after every line.
QByteArray exportJsonLines(const ResultsModel& grid);

// The outcome of a row that shows no count: it was loaded but no run fetched it.
QString notRunOutcome();

QByteArray exportResults(const ResultsModel& grid, ExportFormat format);
// Replaces the file whole or not at all, as the text export; throws FileError naming the file.
void ExportResultsToFile(const ResultsModel& grid, const QString& path, ExportFormat format);
