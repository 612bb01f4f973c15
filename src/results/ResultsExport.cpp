#include "results/ResultsExport.h"

#include "results/StringGridUtil.h"
#include "text/FileUtil.h"

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
