#pragma once

#include <QList>
#include <QString>

#include <optional>

struct RunSummary;

// The main window's rules, kept apart from its widgets so they are tested as plain tables.
namespace MainWindowRules
{

// The range of a numeric box: whole numbers from minimum to maximum; with a frequency above 0 only
// its multiples.
struct TrackBarRange {
    int minimum = 0;
    int maximum = 0;
    int frequency = 0;

    bool operator==(const TrackBarRange&) const = default;
};

// Thread counts for n processors: n, 2n, ... up to the largest multiple of n not above 60; with more
// than 30 processors the range collapses to n alone.
TrackBarRange threadCountRange(int processors);
TrackBarRange timeoutRange();
// Every value a box offers, in order.
QList<int> offeredValues(const TrackBarRange& range);

// What a typed commit (Enter or leaving the box) leaves in a numeric box.
struct TypedCommit {
    // False: the text is no number at all and the box shows its previous value again.
    bool accepted = false;
    // The text the box shows afterwards: a whole number, clamped into the range, or a fraction
    // inside the range exactly as typed (which the change handler then refuses).
    QString shown;
};
TypedCommit commitTypedNumber(const QString& typed, const TrackBarRange& range);

// The change handler's conversion of the box's text: a whole decimal number, else throws
// std::runtime_error "'TEXT' is not a valid integer value".
int toWholeNumber(const QString& text);
QString notAnIntegerText(const QString& text);

// The scroll rule of a run: when row m (0-based) starts and m >= 10, row m - 10 goes to the top.
std::optional<int> topRowWhenStarted(int m);

// The status bar's line at the end of a run, "1,234 pages, 17 failed, 45,678 matches in 00:01:02",
// with the rows an abort or a stop left out when there are any.
QString runSummaryText(const RunSummary& summary);
QString stoppingText();

// Apply Regex with an empty library: there is no entry to write.
QString noLibraryEntryText();
// The save dialog's default extension (".txt" unless given) when the chosen name has none.
QString withDefaultExtension(const QString& path, const QString& extension = QStringLiteral(".txt"));
// "mailto:" + address + "?subject=" + product + " support request", blanks as they are.
QString supportMailLink(const QString& address, const QString& softwareName);

} // namespace MainWindowRules
