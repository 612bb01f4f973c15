#include "app/ApplyRegex.h"

#include "results/StringGridUtil.h"

void applyLibraryEntry(ResultsModel& grid, const RegexLibraryEntry& entry)
{
    if (entry.regex_pattern)
        grid.fillColumn(ColumnRegexPattern, *entry.regex_pattern);
    if (entry.regex_replacement)
        grid.fillColumn(ColumnRegexReplace, *entry.regex_replacement);
}

QString libraryListLine(const RegexLibraryEntry& entry)
{
    const QChar tab(u'\t');
    return entry.description.value_or(QString()) + tab + entry.regex_pattern.value_or(QString()) + tab
        + entry.regex_replacement.value_or(QString());
}
