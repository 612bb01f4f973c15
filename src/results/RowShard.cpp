#include "results/RowShard.h"

#include <QRegularExpression>

#include <stdexcept>

RowShard::RowShard(int index, int count) : m_index(index), m_count(count)
{
    if (count < 1 || index < 1 || index > count)
        throw std::invalid_argument("shard index out of range");
}

std::optional<RowShard> RowShard::parse(const QString& text)
{
    // Digits only, anchored at both ends: no sign, blank, base prefix or final line feed slips through.
    static const QRegularExpression form(QRegularExpression::anchoredPattern(QStringLiteral("([0-9]+)/([0-9]+)")));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    bool indexOk = false;
    bool countOk = false;
    const int index = m.captured(1).toInt(&indexOk, 10);
    const int count = m.captured(2).toInt(&countOk, 10);
    if (!indexOk || !countOk || count < 1 || index < 1 || index > count)
        return std::nullopt;
    return RowShard(index, count);
}

bool RowShard::contains(int lineNumber) const
{
    return lineNumber >= 1 && (lineNumber - 1) % m_count == m_index - 1;
}

QStringList RowShard::select(const QStringList& lines, std::vector<int>& numbers) const
{
    numbers.clear();
    QStringList kept;
    const qsizetype expected = lines.size() / m_count + 1;
    kept.reserve(expected);
    numbers.reserve(size_t(expected));
    for (qsizetype i = m_index - 1; i < lines.size(); i += m_count) {
        kept.append(lines[i]);
        numbers.push_back(int(i + 1));
    }
    return kept;
}
