#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

// The values one collector call gathers, and their match list text: nothing for none, the value
// alone for one, every value followed by "||" for two or more.
// Plain: found order, duplicates kept. Unique: ascending under a case-insensitive comparison in the
// default locale; of values that compare equal only the first found is kept.
class MatchList
{
public:
    explicit MatchList(bool unique);
    ~MatchList();
    MatchList(const MatchList&) = delete;
    MatchList& operator=(const MatchList&) = delete;

    void add(std::string_view utf8);
    void add(const QString& value);
    // Values so far; in unique mode duplicates are dropped only by joined(), so this may be more.
    qsizetype size() const { return m_size; }
    // Sets count to the number of values kept and returns their text.
    QString joined(int& count);

    static inline const QString Separator = QStringLiteral("||");

private:
    bool m_unique;
    qsizetype m_size = 0;
    std::string& m_plain; // plain mode: "value||value||..." in UTF-8, converted once at the end
    QStringList m_values; // unique mode

public:
    // The plain text is built in a buffer of the calling thread that keeps up to this much for the next
    // call (one list per thread at a time), so that many values do not pay for fresh memory each call.
    static constexpr std::size_t KeptBufferBytes = 16 * 1024 * 1024;
};
