#pragma once

#include <QCollator>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The values one collector call gathers, and their match list text: nothing for none, the value
// alone for one, every value followed by "||" for two or more.
// Plain: found order, duplicates kept. Unique: ascending under a case-insensitive comparison in the
// default locale; of values that compare equal only the first found is kept.
// The plain text is built in a buffer of the calling thread that is reused by its next list, so that
// many values do not pay for fresh memory on each call: one list per thread at a time.
// The memory the values hold is capped: past the cap a value is refused and the list stays as it is.
class MatchList
{
public:
    explicit MatchList(bool unique, std::size_t capBytes = SIZE_MAX);
    ~MatchList();
    MatchList(const MatchList&) = delete;
    MatchList& operator=(const MatchList&) = delete;

    // False, keeping nothing of it, when the value would take the list past its cap.
    bool add(std::string_view utf8);
    // Values so far; in unique mode some duplicates may not have been dropped yet.
    qsizetype size() const { return m_size; }
    // UTF-8 bytes a value may have and fit as the list is now.
    std::size_t room() const;
    // The longest value add() might still take: more than room() in unique mode, where duplicates
    // may still be dropped.
    std::size_t largestValue() const;
    // Sets count to the number of values kept and returns their text. When values is given, it
    // receives the kept values where the text alone cannot give them back when split at "||" (a
    // value holding "|", or one empty value), and is emptied otherwise.
    QString joined(int& count, QStringList* values = nullptr);

    static inline const QString Separator = QStringLiteral("||");
    // A thread keeps at most this much buffer between lists.
    static constexpr std::size_t KeptBufferBytes = 16 * 1024 * 1024;
    // Unique mode holds each value as a string of its own: what that costs beyond its characters.
    static constexpr std::size_t UniqueValueOverhead = 48;
    // Unique mode drops duplicates along the way once it holds this many values, then whenever their
    // number has doubled or they reach the cap, so that a page of repeated values does not hold
    // every repetition.
    static constexpr qsizetype FirstCompaction = 1 << 16;

private:
    void compact();

    bool m_unique;
    std::size_t m_cap;
    qsizetype m_size = 0;
    bool m_holdsBar = false; // a value holds "|": the text alone is ambiguous
    std::string& m_plain; // plain mode: "value||value||..." in UTF-8, converted once at the end
    std::vector<std::size_t>& m_ends; // plain mode: where each value ends in m_plain
    QStringList m_values; // unique mode
    std::size_t m_uniqueBytes = 0; // unique mode: what m_values holds
    qsizetype m_compactAt = FirstCompaction;
    qsizetype m_compactedSize = 0; // values right after the last compaction
    std::optional<QCollator> m_collator; // unique mode; QCollator is not thread-safe: one per list
};
