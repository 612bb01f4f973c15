#include "engine/MatchList.h"

#include <QCollator>

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

} // namespace

MatchList::MatchList(bool unique) : m_unique(unique), m_plain(t_plain), m_ends(t_ends)
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

void MatchList::add(std::string_view utf8)
{
    if (m_unique) {
        m_values.append(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    } else {
        m_plain.append(utf8);
        m_ends.push_back(m_plain.size());
        m_plain.append("||");
    }
    m_holdsBar = m_holdsBar || holdsBar(utf8);
    ++m_size;
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

    // QCollator is not thread-safe: one per call. Its sort keys ignore the case setting in the C
    // locale, so compare directly.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<qsizetype> order(std::size_t(m_values.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    // Stable, so that among equal values the first found leads its run.
    std::stable_sort(order.begin(), order.end(),
        [&](qsizetype a, qsizetype b) { return collator.compare(m_values[a], m_values[b]) < 0; });
    QStringList kept;
    for (qsizetype i : order) {
        if (kept.isEmpty() || collator.compare(kept.back(), m_values[i]) != 0)
            kept.append(m_values[i]);
    }
    count = int(kept.size());
    if (values) {
        // A value dropped as a duplicate may have been the only one holding "|".
        const bool ambiguous = (kept.size() == 1 && kept.front().isEmpty())
            || (m_holdsBar
                && std::any_of(kept.begin(), kept.end(), [](const QString& v) { return v.contains(u'|'); }));
        if (ambiguous)
            *values = kept;
    }
    if (kept.size() == 1)
        return kept.front();
    QString text;
    qsizetype length = 0;
    for (const QString& v : kept)
        length += v.size() + Separator.size();
    text.reserve(length);
    for (const QString& v : kept) {
        text += v;
        text += Separator;
    }
    return text;
}
