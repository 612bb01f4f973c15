#pragma once

#include "library/RegexLibraryStore.h"

class ResultsModel;

// Writes the entry into every row: a NULL pattern leaves column 1 as it was, an empty text empties it;
// the same for the replacement and column 2. Columns 0, 3, 4 and the row count are untouched.
void applyLibraryEntry(ResultsModel& grid, const RegexLibraryEntry& entry);

// One line of `glimmerpick-cli --list-regex`: description TAB pattern TAB replacement (NULL as empty text).
QString libraryListLine(const RegexLibraryEntry& entry);
