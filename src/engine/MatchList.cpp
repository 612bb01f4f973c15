#include "engine/MatchList.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace
{

thread_local std::string t_plain;
thread_local std::vector<std::size_t> t_ends;

bool holdsBar(std::string_view utf8)
{
    return utf8.find('|') != std::string_view::npos;
}

std::size_t uniqueCost(const QString& value)
{
    return std::size_t(value.size()) * sizeof(QChar) + MatchList::UniqueValueOverhead;
}

} // namespace

MatchList::MatchList(bool unique, std::size_t capBytes) :
    m_unique(unique), m_cap(capBytes), m_plain(t_plain), m_ends(t_ends)
{
    m_plain.clear();
    m_ends.clear();
}

MatchList::~MatchList()
{
    m_plain.clear();
    if (m_plain.capacity() > KeptBufferBytes)
        m_plain.shrink_to_fit();
    m_ends.clear();
    if (m_ends.capacity() * sizeof(std::size_t) > KeptBufferBytes)
        m_ends.shrink_to_fit();
}

std::size_t MatchList::room() const
{
    const std::size_t held = m_unique ? m_uniqueBytes : m_plain.size();
    const std::size_t extra = m_unique ? UniqueValueOverhead : std::size_t(Separator.size());
    if (held + extra >= m_cap)
        return 0;
    // UTF-16 takes at most twice the bytes of UTF-8.
    return m_unique ? (m_cap - held - extra) / 2 : m_cap - held - extra;
}

std::size_t MatchList::largestValue() const
{
    if (!m_unique)
        return room();
    // Dropping duplicates might leave a single value.
    return m_cap > UniqueValueOverhead ? (m_cap - UniqueValueOverhead) / 2 : 0;
}

bool MatchList::add(std::string_view utf8)
{
    if (utf8.size() > room()) {
        // In unique mode dropping duplicates may make room; worth going on only when it frees a
        // good part, or every further value would sort the list again.
        if (!m_unique || m_values.size() == m_compactedSize)
            return false;
        compact();
        if (m_uniqueBytes > m_cap / 4 * 3 || utf8.size() > room())
            return false;
    }
    if (m_unique) {
        m_values.append(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
        m_uniqueBytes += uniqueCost(m_values.back());
        if (m_values.size() >= m_compactAt) {
            compact();
            m_compactAt = std::max(FirstCompaction, 2 * m_values.size());
        }
    } else {
        m_plain.append(utf8);
        m_ends.push_back(m_plain.size());
        m_plain.append("||");
    }
    m_holdsBar = m_holdsBar || holdsBar(utf8);
    ++m_size;
    return true;
}

void MatchList::compact()
{
    if (!m_collator) {
        // Its sort keys ignore the case setting in the C locale, so compare directly.
        m_collator.emplace();
        m_collator->setCaseSensitivity(Qt::CaseInsensitive);
    }
    const QCollator& collator = *m_collator;
    std::vector<qsizetype> order(std::size_t(m_values.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    // Stable, so that among equal values the first found leads its run.
    std::stable_sort(order.begin(), order.end(),
        [&](qsizetype a, qsizetype b) { return collator.compare(m_values[a], m_values[b]) < 0; });
    QStringList kept;
    m_uniqueBytes = 0;
    for (qsizetype i : order) {
        if (kept.isEmpty() || collator.compare(kept.back(), m_values[i]) != 0) {
            kept.append(m_values[i]);
            m_uniqueBytes += uniqueCost(kept.back());
        }
    }
    m_values = std::move(kept);
    m_compactedSize = m_values.size();
}

QString MatchList::joined(int& count, QStringList* values)
{
    if (values)
        values->clear();
    if (!m_unique) {
        count = int(m_size);
        if (values && (m_holdsBar || (m_size == 1 && m_ends.front() == 0))) {
            values->reserve(m_size);
            std::size_t start = 0;
            for (const std::size_t end : m_ends) {
                values->append(QString::fromUtf8(m_plain.data() + start, qsizetype(end - start)));
                start = end + 2;
            }
        }
        if (m_size == 1)
            m_plain.resize(m_plain.size() - 2);
        return QString::fromUtf8(m_plain.data(), qsizetype(m_plain.size()));
    }

    if (m_values.isEmpty()) {
        count = 0;
        return {};
    }
    compact();
    count = int(m_values.size());
    if (values) {
        // A value dropped as a duplicate may have been the only one holding "|".
        const bool ambiguous = (m_values.size() == 1 && m_values.front().isEmpty())
            || (m_holdsBar && std::any_of(m_values.begin(), m_values.end(), [](const QString& v) {
                   return v.contains(u'|');
               }));
        if (ambiguous)
            *values = m_values;
    }
    if (m_values.size() == 1)
        return m_values.front();
    QString text;
    qsizetype length = 0;
    for (const QString& v : m_values)
        length += v.size() + Separator.size();
    text.reserve(length);
    for (const QString& v : m_values) {
        text += v;
        text += Separator;
    }
    return text;
}
