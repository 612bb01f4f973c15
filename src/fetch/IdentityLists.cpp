#include "fetch/IdentityLists.h"

#include "text/FileUtil.h"

#include <atomic>
#include <random>

namespace
{

int indexOf(IdentityKind kind)
{
    return static_cast<int>(kind);
}

// The generator that seeds each thread's own; threads draw without a lock and re-seed after seedIdentityRandom.
struct SeedSource {
    std::mutex mutex;
    std::mt19937_64 generator { std::random_device {}() };
    std::atomic<quint64> generation { 1 };
};

SeedSource& seedSource()
{
    static SeedSource source;
    return source;
}

struct ThreadGenerator {
    quint64 generation = 0;
    std::mt19937_64 generator;
};

std::mt19937_64& threadGenerator()
{
    thread_local ThreadGenerator mine;
    SeedSource& source = seedSource();
    if (mine.generation != source.generation.load(std::memory_order_acquire)) {
        std::lock_guard lock(source.mutex);
        mine.generator.seed(source.generator());
        mine.generation = source.generation.load(std::memory_order_relaxed);
    }
    return mine.generator;
}

bool isBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

} // namespace

QString identityFileName(IdentityKind kind)
{
    switch (kind) {
    case IdentityKind::Proxies:
        return QStringLiteral("proxies.txt");
    case IdentityKind::Referers:
        return QStringLiteral("referers.txt");
    case IdentityKind::UserAgents:
        return QStringLiteral("user_agents.txt");
    }
    return {};
}

IdentityLists::IdentityLists()
{
    for (IdentityList& l : m_lists)
        l = std::make_shared<const QStringList>();
}

void IdentityLists::ReloadSettingsList(const QString& resourcesFilesPath)
{
    const IdentityKind order[] = { IdentityKind::Proxies, IdentityKind::Referers, IdentityKind::UserAgents };
    IdentityList loaded[3];
    for (IdentityKind kind : order)
        loaded[indexOf(kind)] = std::make_shared<const QStringList>(
            LoadFileToStringList(resourcesFilesPath + identityFileName(kind)));
    std::lock_guard lock(m_mutex);
    for (int i = 0; i < 3; ++i)
        m_lists[i] = std::move(loaded[i]);
}

void IdentityLists::reloadList(IdentityKind kind, const QString& path)
{
    IdentityList loaded = std::make_shared<const QStringList>(LoadFileToStringList(path));
    std::lock_guard lock(m_mutex);
    m_lists[indexOf(kind)] = std::move(loaded);
}

IdentityList IdentityLists::list(IdentityKind kind) const
{
    std::lock_guard lock(m_mutex);
    return m_lists[indexOf(kind)];
}

void seedIdentityRandom(quint64 seed)
{
    SeedSource& source = seedSource();
    std::lock_guard lock(source.mutex);
    source.generator.seed(seed);
    source.generation.fetch_add(1, std::memory_order_release);
}

std::optional<QString> drawEntry(const IdentityList& list)
{
    if (!list || list->isEmpty())
        return std::nullopt;
    std::uniform_int_distribution<qsizetype> pick(0, list->size() - 1);
    return list->at(pick(threadGenerator()));
}

QStringList buildProxyList(const QString& Proxy)
{
    QStringList fields;
    const qsizetype n = Proxy.size();
    qsizetype i = 0;
    while (i < n && isBlank(Proxy[i]))
        ++i;
    while (i < n) {
        QString field;
        if (Proxy[i] == u'"') {
            // Runs to the next lone quote (or the end); "" inside stands for one quote.
            for (++i; i < n; ++i) {
                if (Proxy[i] != u'"') {
                    field += Proxy[i];
                } else if (i + 1 < n && Proxy[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else {
            const qsizetype start = i;
            // A host in brackets is an IPv6 address: its colons do not end the field.
            if (fields.isEmpty() && Proxy[i] == u'[') {
                const qsizetype close = Proxy.indexOf(u']', i);
                if (close > 0)
                    i = close + 1;
            }
            while (i < n && Proxy[i] != u':' && !isBlank(Proxy[i]))
                ++i;
            field = Proxy.mid(start, i - start);
        }
        fields.append(field);
        while (i < n && isBlank(Proxy[i]))
            ++i;
        if (i < n && Proxy[i] == u':') {
            // Only a colon that ends the line adds a final empty field; blanks behind it do not.
            if (i + 1 == n)
                fields.append(QString());
            ++i;
            while (i < n && isBlank(Proxy[i]))
                ++i;
        }
    }
    while (fields.size() < 4)
        fields.append(QString());
    return fields;
}

ProxyLineSurvey surveyProxyLines(const QStringList& lines)
{
    ProxyLineSurvey survey;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (buildProxyList(lines[i]).front().isEmpty())
            survey.hostlessLines.append(i + 1);
        else
            ++survey.withHost;
    }
    return survey;
}
