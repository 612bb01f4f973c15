#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>
#include <string_view>

// How much one row's collecting may take. Tests pass smaller bounds.
struct CollectorLimits {
    // CPU time of the calling thread for normalising, matching and rewriting one page.
    static constexpr std::chrono::milliseconds DefaultCpuTime { 10'000 };
    // Memory the collected values may hold: the match list text in UTF-8 (more per value in
    // unique mode, which holds each value as a string of its own until the end).
    static constexpr std::size_t DefaultMatchesBytes = std::size_t(256) * 1024 * 1024;

    std::chrono::milliseconds cpuTime = DefaultCpuTime;
    std::size_t matchesBytes = DefaultMatchesBytes;
};

// Collects the matches of pattern in one page: the count and the match list text of its grid row.
// The collecting search is case-insensitive; with a replacement template each match is rewritten
// by a case-sensitive search inside that match alone. removeDuplicated sorts the values and keeps
// the first of those that compare equal ignoring case.
// Never throws: a bad or empty pattern gives 0 and an empty text. Callable from any thread at once
// (no shared mutable state).
// When collecting stops early, stopOutcome (if given; else cleared) names why, for the row's outcome:
// past the time bound ("pattern stopped after 10 s") or the memory cap ("matches stopped at
// 256 MiB") the values found so far are kept; when memory runs out they are lost ("out of memory
// while collecting matches").
void ApplyRegexToHtml(const QString& htmlSource, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, bool removeDuplicated, QString* stopOutcome = nullptr,
    const CollectorLimits& limits = {});

// The same on a page already held as UTF-8; precondition: valid UTF-8 (the fetcher guarantees it).
// Lets the engine skip a QString round trip per page. Both give identical results.
void ApplyRegexToHtmlUtf8(std::string_view htmlUtf8, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, bool removeDuplicated, QString* stopOutcome = nullptr,
    const CollectorLimits& limits = {});

// The same, also giving the values where the text cannot: exactValues receives them when splitting
// matchesStrings at "||" would not give them back (a value holding "|", or one empty value), and is
// emptied otherwise. The values are therefore exactValues when it is not empty, else matchesStrings
// split at "||" (none when it is empty).
void ApplyRegexToHtmlUtf8(std::string_view htmlUtf8, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, QStringList& exactValues, bool removeDuplicated,
    QString* stopOutcome = nullptr, const CollectorLimits& limits = {});

// The stop outcome of a row whose values were lost for want of memory.
QString lostMatchesOutcome();

// Why every page gives 0 with this pattern: PCRE2's compile error with its offset in characters, or
// "the pattern is empty"; an empty text when the pattern compiles. For showing a user, who is
// never told by the collector itself.
QString patternCompileError(const QString& pattern);

// The same on bytes meant as UTF-8 that were not checked: the check runs in the pass that prepares
// the page for matching, and each invalid sequence counts as U+FFFD, as QString::fromUtf8 reads it.
// exactValues (may be null) as above.
void ApplyRegexToUncheckedUtf8(std::string_view htmlBytes, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, QStringList* exactValues, bool removeDuplicated,
    QString* stopOutcome = nullptr, const CollectorLimits& limits = {});
