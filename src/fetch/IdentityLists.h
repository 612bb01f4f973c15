#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

enum class IdentityKind { Proxies, Referers, UserAgents };

// "proxies.txt", "referers.txt", "user_agents.txt".
QString identityFileName(IdentityKind kind);

// An immutable snapshot; a reload swaps in a new one, so a reader never sees a list being refilled.
using IdentityList = std::shared_ptr<const QStringList>;

// The three request-identity lists. All members are thread-safe.
class IdentityLists
{
public:
    IdentityLists();

    // Loads proxies, referers and user agents, in this order, from resourcesFilesPath (ending with a
    // separator). Throws FileError naming the first file that cannot be read; then no list changes.
    void ReloadSettingsList(const QString& resourcesFilesPath);
    // Reloads one list from the file at path; on error throws and keeps the previous entries.
    void reloadList(IdentityKind kind, const QString& path);

    IdentityList ListProxies() const { return list(IdentityKind::Proxies); }
    IdentityList ListReferers() const { return list(IdentityKind::Referers); }
    IdentityList ListUserAgents() const { return list(IdentityKind::UserAgents); }
    IdentityList list(IdentityKind kind) const;

private:
    mutable std::mutex m_mutex;
    IdentityList m_lists[3];
};

// Seeds the generators of every thread's later draws; once at start-up (from a clock), or in tests.
void seedIdentityRandom(quint64 seed);

// A uniform draw, safe from many threads at once; std::nullopt for an empty (or null) list.
std::optional<QString> drawEntry(const IdentityList& list);

// Splits one proxies.txt line into host, port, user name, password (and any further fields):
// blanks (codes 1 to 32) separate like ":", a field in double quotes keeps them (two quotes stand
// for one); a host in brackets keeps its colons and the brackets ("[::1]:8080"); at least four
// fields, padded with empty ones.
QStringList buildProxyList(const QString& Proxy);

// What a proxies list holds for a run with proxies enabled: how many lines have a proxy host, and
// the 1-based numbers of those that have none (blank, blanks only, or an empty host field), each of
// which sends its fetch without a proxy. A front end refuses a run when no line has a host and
// warns when some lack one.
struct ProxyLineSurvey {
    qsizetype withHost = 0;
    QList<qsizetype> hostlessLines;
    bool operator==(const ProxyLineSurvey&) const = default;
};
ProxyLineSurvey surveyProxyLines(const QStringList& lines);
