#include "engine/MatchList.h"

#include <QCollator>

#include <algorithm>
#include <numeric>
#include <vector>

namespace
{

thread_local std::string t_plain;

} // namespace

MatchList::MatchList(bool unique) : m_unique(unique), m_plain(t_plain)
{
    m_plain.clear();
}

MatchList::~MatchList()
{
    m_plain.clear();
    if (m_plain.capacity() > KeptBufferBytes)
        m_plain.shrink_to_fit();
}

void MatchList::add(std::string_view utf8)
{
    if (m_unique) {
        m_values.append(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    } else {
        m_plain.append(utf8);
        m_plain.append("||");
    }
    ++m_size;
}

QString MatchList::joined(int& count)
{
    if (!m_unique) {
        count = int(m_size);
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
