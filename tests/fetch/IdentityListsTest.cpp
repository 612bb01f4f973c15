#include "fetch/IdentityLists.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "text/FileUtil.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

TEST(BuildProxyList, SplittingRules)
{
    struct Case {
        QString line;
        QStringList fields;
    };
    const Case cases[] = {
        { "host:8080:user:pass", { "host", "8080", "user", "pass" } }, { "host:8080", { "host", "8080", "", "" } },
        { "host", { "host", "", "", "" } }, { "host::user:pass", { "host", "", "user", "pass" } },
        { "host:8080:", { "host", "8080", "", "" } }, { ":8080", { "", "8080", "", "" } },
        { "", { "", "", "", "" } }, { " \t ", { "", "", "", "" } },
        // Blanks separate like a colon; next to a colon they add nothing.
        { "  host : 8080 :user", { "host", "8080", "user", "" } },
        { "host:8080:user:pa ss", { "host", "8080", "user", "pa", "ss" } },
        { "host:8080:user:\"pa ss\"", { "host", "8080", "user", "pa ss" } },
        { "host:8080:user:\"p:a \"\"q\"\"\"", { "host", "8080", "user", "p:a \"q\"" } },
        { "\"unclosed: to the end", { "unclosed: to the end", "", "", "" } },
        { "\"\":8080", { "", "8080", "", "" } }, { "\"ab\"cd:x", { "ab", "cd", "x", "" } },
        { "ho\"st:1", { "ho\"st", "1", "", "" } },
        // A colon at the very end adds an empty field; one followed by blanks does not.
        { "a:b:c:d:", { "a", "b", "c", "d", "" } }, { "a:b:c:d: ", { "a", "b", "c", "d" } },
        { "a:b:c:d:e:f", { "a", "b", "c", "d", "e", "f" } }, { "a::::", { "a", "", "", "", "" } },
        { QString::fromUtf8("h\u00f6st\u00a0x:1"), { QString::fromUtf8("h\u00f6st\u00a0x"), "1", "", "" } },
        { QString("a") + QChar(1) + "b", { "a", "b", "", "" } },
        // A host in brackets is an IPv6 address; its brackets stay for the fetcher.
        { "[::1]:8080", { "[::1]", "8080", "", "" } },
        { " [fe80::1:2]:3128:user:\"p w\"", { "[fe80::1:2]", "3128", "user", "p w" } },
        { "[::1]", { "[::1]", "", "", "" } },
        { "[::1", { "[", "", "1", "" } }, // unclosed: split as before, and no usable host
        { "h:[::1]", { "h", "[", "", "1]" } }, // only the host field
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        EXPECT_EQ(buildProxyList(c.line), c.fields);
    }
}

TEST(SurveyProxyLines, CountsHostsAndNamesHostlessLines)
{
    struct Case {
        QStringList lines;
        qsizetype withHost;
        QList<qsizetype> hostless;
    };
    const Case cases[] = {
        { {}, 0, {} }, { { "", "  ", "\t" }, 0, { 1, 2, 3 } },
        { { ":8080", ":8080:user:pw", "\"\":3128" }, 0, { 1, 2, 3 } },
        { { "a:1", "", "b:2", " :3", "[::1]:4" }, 3, { 2, 4 } }, { { "a:1", "b" }, 2, {} },
        { { "::1:8080", "[::1]:8080" }, 1, { 1 } }, // an IPv6 address needs its brackets
        { { "[", "bad host:x" }, 2, {} }, // a host that cannot be used fails its fetch, never goes direct
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.join(u'|').toStdString());
        EXPECT_EQ(surveyProxyLines(c.lines), (ProxyLineSurvey { c.withHost, c.hostless }));
    }
}

TEST(IdentityLists, LoadsTheThreeFilesInOrder)
{
    TempDir dir;
    dir.write("proxies.txt", "h1:1\r\n\r\nh2:2\r\n");
    dir.write("referers.txt", "\xEF\xBB\xBFhttp://caf\xC3\xA9/\r\n");
    dir.write("user_agents.txt", "");
    const QString folder = dir.dir().path() + u'/';
    IdentityLists lists;
    EXPECT_TRUE(lists.ListProxies()->isEmpty());
    lists.ReloadSettingsList(folder);
    EXPECT_EQ(*lists.ListProxies(), QStringList({ "h1:1", "", "h2:2" }));
    EXPECT_EQ(*lists.ListReferers(), QStringList({ QString::fromUtf8("http://caf\u00e9/") }));
    EXPECT_TRUE(lists.ListUserAgents()->isEmpty());

    // The first missing file in load order is named, and no list changes.
    QFile::remove(dir.path("referers.txt"));
    QFile::remove(dir.path("user_agents.txt"));
    dir.write("proxies.txt", "other:3\n");
    try {
        lists.ReloadSettingsList(folder);
        FAIL() << "no error for a missing file";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("referers.txt"), std::string::npos) << e.what();
    }
    EXPECT_EQ(lists.ListProxies()->size(), 3);
    EXPECT_EQ(lists.ListReferers()->size(), 1);
}

TEST(IdentityLists, ReloadSwapsASnapshotOrKeepsTheOldOne)
{
    TempDir dir;
    const QString path = dir.write("user_agents.txt", "A\nB\n");
    IdentityLists lists;
    lists.reloadList(IdentityKind::UserAgents, path);
    const IdentityList before = lists.ListUserAgents();
    dir.write("user_agents.txt", "C\n");
    lists.reloadList(IdentityKind::UserAgents, path);
    EXPECT_EQ(*before, QStringList({ "A", "B" })); // a reader's snapshot never changes under it
    EXPECT_EQ(*lists.ListUserAgents(), QStringList({ "C" }));

    QFile::remove(path);
    EXPECT_THROW(lists.reloadList(IdentityKind::UserAgents, path), FileError);
    EXPECT_EQ(*lists.ListUserAgents(), QStringList({ "C" }));
    EXPECT_EQ(identityFileName(IdentityKind::UserAgents), "user_agents.txt");
}

TEST(DrawEntry, EmptyListsGiveNothingAndDrawsAreUniform)
{
    EXPECT_EQ(drawEntry(nullptr), std::nullopt);
    EXPECT_EQ(drawEntry(std::make_shared<const QStringList>()), std::nullopt);
    EXPECT_EQ(drawEntry(std::make_shared<const QStringList>(QStringList { "only" })), "only");

    seedIdentityRandom(20240601);
    // An empty line is an entry like any other.
    const auto list = std::make_shared<const QStringList>(QStringList { "a", "", "c", "a" });
    std::map<QString, int> counts;
    const int draws = 40000;
    for (int i = 0; i < draws; ++i)
        ++counts[*drawEntry(list)];
    ASSERT_EQ(counts.size(), 3u);
    // Expected 10000 per slot; the bounds are over six standard deviations wide.
    EXPECT_NEAR(counts["a"], 20000, 600);
    EXPECT_NEAR(counts[""], 10000, 600);
    EXPECT_NEAR(counts["c"], 10000, 600);
}

TEST(DrawEntry, ManyThreadsDrawWhileTheListIsReloaded)
{
    TempDir dir;
    const QString one = dir.write("one.txt", "x\n");
    const QString three = dir.write("three.txt", "y1\ny2\ny3\n");
    IdentityLists lists;
    lists.reloadList(IdentityKind::Referers, three);

    std::atomic<bool> stop { false };
    std::atomic<int> bad { 0 };
    std::atomic<long> drawn { 0 };
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            while (!stop.load()) {
                const std::optional<QString> e = drawEntry(lists.ListReferers());
                if (!e || !(*e == u"x" || *e == u"y1" || *e == u"y2" || *e == u"y3"))
                    ++bad;
                ++drawn;
            }
        });
    }
    std::thread reloader([&] {
        for (int i = 0; i < 300; ++i)
            lists.reloadList(IdentityKind::Referers, i % 2 ? three : one);
    });
    reloader.join();
    // Keep drawing for a moment after the last reload, so every thread has drawn at all.
    while (drawn.load() < 20000)
        std::this_thread::yield();
    stop = true;
    for (std::thread& t : workers)
        t.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST(IdentityLists, AReloadDuringARunNeverShowsAMixedList)
{
    // The editor's reload while jobs draw: each reader sees one whole file's list, old or new,
    // and a snapshot it holds stays intact across any number of reloads.
    TempDir dir;
    const QStringList oldList { "old1", "old2", "old3" };
    const QStringList newList { "new1", "new2", "new3", "new4", "new5", "new6", "new7" };
    const QString oldPath = dir.write("old.txt", oldList.join('\n').toUtf8());
    const QString newPath = dir.write("new.txt", newList.join("\r\n").toUtf8());
    IdentityLists lists;
    lists.reloadList(IdentityKind::Proxies, oldPath);

    std::atomic<bool> stop { false };
    std::atomic<long> checked { 0 };
    std::mutex failureMutex;
    QStringList failures;
    const auto fail = [&](const QString& what) {
        std::lock_guard lock(failureMutex);
        if (failures.size() < 5)
            failures << what;
    };
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            while (!stop.load()) {
                const IdentityList held = lists.ListProxies();
                const QStringList copy = *held;
                if (copy != oldList && copy != newList)
                    fail(QStringLiteral("mixed list: ") + copy.join(','));
                for (int i = 0; i < 50; ++i) {
                    const std::optional<QString> e = drawEntry(held);
                    if (!e || !copy.contains(*e))
                        fail(QStringLiteral("drew %1 from %2").arg(e.value_or("nothing"), copy.join(',')));
                }
                if (*held != copy)
                    fail(QStringLiteral("a held snapshot changed"));
                ++checked;
            }
        });
    }
    for (int i = 0; i < 400; ++i)
        lists.reloadList(IdentityKind::Proxies, i % 2 ? oldPath : newPath);
    while (checked.load() < 2000)
        std::this_thread::yield();
    stop = true;
    for (std::thread& t : workers)
        t.join();
    EXPECT_TRUE(failures.isEmpty()) << failures.join(" | ").toStdString();
    EXPECT_EQ(*lists.ListProxies(), oldList);
}
