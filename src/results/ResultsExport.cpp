#include "results/ResultsExport.h"

#include "results/StringGridUtil.h"
#include "text/FileUtil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

QByteArray exportColumnValues(const ResultsModel& grid, int column, const QString& separator)
{
    // Each cell is converted once and cut in UTF-8, where a whole separator can only match at a
    // character boundary: the pieces of splitFields, without a string per piece. A separator with
    // a surrogate code unit of its own could cut a pair, so it takes the slow path.
    const bool cutInUtf8
        = std::none_of(separator.begin(), separator.end(), [](QChar c) { return c.isSurrogate(); });
    const QByteArray sep = separator.toUtf8();
    QByteArray out;
    for (int r = 0; r < grid.rowCount(); ++r) {
        const QString& value = grid.cell(r, column);
        if (value.isEmpty())
            continue;
        if (!cutInUtf8) {
            for (const QString& piece : splitFields(value, separator)) {
                out += piece.toUtf8();
                out += "\r\n";
            }
            continue;
        }
        const QByteArray bytes = value.toUtf8();
        qsizetype from = 0;
        if (!sep.isEmpty()) {
            for (qsizetype at; (at = bytes.indexOf(sep, from)) >= 0; from = at + sep.size()) {
                out.append(bytes.constData() + from, at - from);
                out += "\r\n";
            }
        }
        // A separator at the very end ends the last piece instead of starting an empty one.
        if (from == 0 || from < bytes.size()) {
            out.append(bytes.constData() + from, bytes.size() - from);
            out += "\r\n";
        }
    }
    return out;
}

void ExportColumnValuesToTextFile(
    const ResultsModel& grid, const QString& path, int column, const QString& separator)
{
    writeFileWhole(path, exportColumnValues(grid, column, separator));
}

namespace
{

void appendCsvField(QByteArray& out, const QString& field)
{
    const bool quoted = std::any_of(
        field.begin(), field.end(), [](QChar c) { return c == u',' || c == u'"' || c == u'\r' || c == u'\n'; });
    if (!quoted) {
        out += field.toUtf8();
        return;
    }
    out += '"';
    out += field.toUtf8().replace('"', "\"\"");
    out += '"';
}

} // namespace

QByteArray exportCsv(const ResultsModel& grid)
{
    QByteArray out = "row,url,match\r\n";
    for (int r = 0; r < grid.rowCount(); ++r) {
        const QStringList values = grid.matchValues(r);
        if (values.isEmpty())
            continue;
        // Row number and URL are the same on every record of the row.
        QByteArray head = QByteArray::number(grid.rowNumber(r)) + ',';
        appendCsvField(head, grid.cell(r, ColumnUrl));
        head += ',';
        for (const QString& value : values) {
            out += head;
            appendCsvField(out, value);
            out += "\r\n";
        }
    }
    return out;
}

QString notRunOutcome()
{
    return QStringLiteral("not run");
}

QByteArray exportJsonLines(const ResultsModel& grid)
{
    QByteArray out;
    for (int r = 0; r < grid.rowCount(); ++r) {
        const QStringList values = grid.matchValues(r);
        bool counted = false;
        grid.cell(r, ColumnMatchesNumber).toInt(&counted, 10);
        const QJsonObject row {
            { QStringLiteral("row"), grid.rowNumber(r) },
            { QStringLiteral("url"), grid.cell(r, ColumnUrl) },
            { QStringLiteral("count"), int(values.size()) },
            { QStringLiteral("matches"), QJsonArray::fromStringList(values) },
            { QStringLiteral("outcome"), counted ? grid.outcome(r) : notRunOutcome() },
        };
        out += QJsonDocument(row).toJson(QJsonDocument::Compact);
        out += '\n';
    }
    return out;
}

QByteArray exportResults(const ResultsModel& grid, ExportFormat format)
{
    switch (format) {
    case ExportFormat::Csv:
        return exportCsv(grid);
    case ExportFormat::JsonLines:
        return exportJsonLines(grid);
    case ExportFormat::Text:
        break;
    }
    return exportColumnValues(grid, ColumnMatches, FieldSeparator);
}

void ExportResultsToFile(const ResultsModel& grid, const QString& path, ExportFormat format)
{
    writeFileWhole(path, exportResults(grid, format));
}
