#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The values one collector call gathers, and their match list text: nothing for none, the value
// alone for one, every value followed by "||" for two or more.
// Plain: found order, duplicates kept. Unique: ascending under a case-insensitive comparison in the
// default locale; of values that compare equal only the first found is kept.
// The plain text is built in a buffer of the calling thread that is reused by its next list, so that
// many values do not pay for fresh memory on each call: one list per thread at a time.
class MatchList
{
public:
    explicit MatchList(bool unique);
    ~MatchList();
    MatchList(const MatchList&) = delete;
    MatchList& operator=(const MatchList&) = delete;

    void add(std::string_view utf8);
    // Values so far; in unique mode duplicates are dropped only by joined(), so this may be more.
    qsizetype size() const { return m_size; }
    // Sets count to the number of values kept and returns their text. When values is given, it
    // receives the kept values where the text alone cannot give them back when split at "||" (a
    // value holding "|", or one empty value), and is emptied otherwise.
    QString joined(int& count, QStringList* values = nullptr);

    static inline const QString Separator = QStringLiteral("||");
    // A thread keeps at most this much buffer between lists.
    static constexpr std::size_t KeptBufferBytes = 16 * 1024 * 1024;

private:
    bool m_unique;
    qsizetype m_size = 0;
    bool m_holdsBar = false; // a value holds "|": the text alone is ambiguous
    std::string& m_plain; // plain mode: "value||value||..." in UTF-8, converted once at the end
    std::vector<std::size_t>& m_ends; // plain mode: where each value ends in m_plain
    QStringList m_values; // unique mode
};
