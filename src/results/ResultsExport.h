#pragma once

#include <QByteArray>
#include <QString>

class ResultsModel;

// Writes every piece of the given column's cells, split at separator, one per line with CR LF,
// in UTF-8 without a byte-order mark. The file is replaced whole or not at all: on failure the
// previous file (if any) stays and FileError names the file and the reason.
void ExportColumnValuesToTextFile(
    const ResultsModel& grid, const QString& path, int column, const QString& separator);

// The export as bytes, for callers that write elsewhere (standard output).
QByteArray exportColumnValues(const ResultsModel& grid, int column, const QString& separator);
