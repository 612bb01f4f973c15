#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// One share of a URL list run on its own (on another machine, or as one task of a job array):
// shard K of N takes the lines numbered r (1-based) with (r - 1) mod N = K - 1, so N shards take
// every line exactly once, and each keeps the lines' numbers so their results merge by number.
class RowShard
{
public:
    // 1 of 1: every line.
    RowShard() = default;
    // Precondition: 1 <= index <= count.
    RowShard(int index, int count);

    // "K/N" with whole decimal numbers and 1 <= K <= N; nothing for anything else.
    static std::optional<RowShard> parse(const QString& text);

    int index() const { return m_index; }
    int count() const { return m_count; }
    bool contains(int lineNumber) const;

    // The shard's lines, in order, and the number (1-based) of each in lines.
    QStringList select(const QStringList& lines, std::vector<int>& numbers) const;

private:
    int m_index = 1;
    int m_count = 1;
};
