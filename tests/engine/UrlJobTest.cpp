#include "RunRecorder.h"

#include "engine/RunController.h"
#include "engine/RunSettings.h"
#include "engine/UrlJob.h"
#include "fetch/IdentityLists.h"
#include "fetch/TransferLoop.h"
#include "results/StringGridUtil.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace
{

const char* const Page = "<p>write to a@x.org or b@y.org</p>";
const char* const EmailPattern = "[a-z]+@[a-z]+\\.org";

// Real jobs over the recorder, against a server on 127.0.0.1, fetching through a transfer loop as a
// run does; no start pause.
class UrlJobTest : public ::testing::Test
{
protected:
    UrlJobTest() :
        controller(grid, settings, urlJobFactory({ settings, lists, &transfersOfRun }), 0), view(controller)
    {
        setList(IdentityKind::Referers, "https://ref.example/\n");
        setList(IdentityKind::UserAgents, "TestAgent/1.0\n");
        setList(IdentityKind::Proxies, "");
        server.serve("/page", Page);
        server.get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here a@x.org", "text/html");
        });
    }

    void TearDown() override { EXPECT_EQ(view.offUiThreadCalls, 0); }

    void setList(IdentityKind kind, const QByteArray& content)
    {
        lists.reloadList(kind, dir.write(identityFileName(kind), content));
    }

    // Routes first: the server reads them unguarded once it runs.
    void startServer() { server.start(); }

    QString url(const std::string& path) const { return QString::fromStdString(server.baseUrl() + path); }

    void fillRows(int n, const std::string& path, const QString& pattern = QString::fromLatin1(EmailPattern))
    {
        grid.setRowCount(n);
        for (int r = 0; r < n; ++r) {
            grid.setCell(r, ColumnUrl, url(path));
            grid.setCell(r, ColumnRegexPattern, pattern);
        }
    }

    TempDir dir;
    TestHttpServer server;
    IdentityLists lists;
    ResultsModel grid;
    RunSettings settings;
    TransferLoop transfers;
    TransferLoop* transfersOfRun = &transfers;
    RunController controller;
    RunRecorder view;
};

} // namespace

TEST_F(UrlJobTest, OneWorkerFillsEveryRowInOrderAndScrollsFromRowTen)
{
    startServer();
    fillRows(30, "/page");
    grid.setCell(7, ColumnUrl, url("/missing"));
    settings.ThreadCount = 1;
    const RunSummary s = runToEnd(controller);

    for (int r = 0; r < 30; ++r) {
        SCOPED_TRACE(r);
        const bool missing = r == 7;
        EXPECT_EQ(view.shown[r], (QStringList { "Fetching page...", missing ? "0" : "2" }));
        EXPECT_EQ(grid.cell(r, ColumnMatches), missing ? "" : "a@x.org||b@y.org||");
        EXPECT_EQ(grid.outcome(r), missing ? "HTTP 404" : "");
    }
    // Rows arrive in batches: the grid scrolls to the last row begun in each, which with one
    // worker only moves forward and ends at row 29 - 10; "Urls processed" likewise ends at 30.
    ASSERT_FALSE(view.scrolls.empty());
    EXPECT_TRUE(std::is_sorted(view.scrolls.begin(), view.scrolls.end()));
    EXPECT_GE(view.scrolls.front(), 0);
    EXPECT_EQ(view.scrolls.back(), 19);
    ASSERT_GE(view.completedTexts.size(), 2);
    EXPECT_EQ(view.completedTexts.front(), "0");
    EXPECT_EQ(view.completedTexts.back(), "30");
    for (qsizetype i = 1; i < view.completedTexts.size(); ++i)
        EXPECT_LT(view.completedTexts[i - 1].toInt(), view.completedTexts[i].toInt());

    EXPECT_EQ(s.rows, 30);
    EXPECT_EQ(s.fetched, 29);
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(s.matches, 58);
    EXPECT_EQ(view.messages.last(), "Extraction terminated");
}

TEST_F(UrlJobTest, TheRowIsReadWhenItsJobStarts)
{
    // While row 0 is fetched, row 2 gets a pattern that matches.
    server.get("/edit", [this](const httplib::Request&, httplib::Response& res) {
        // An edit on the UI thread, as the user would make it in the grid.
        runOnThreadOf(
            &grid, [this] { grid.setData(grid.index(2, ColumnRegexPattern), QString::fromLatin1(EmailPattern)); });
        res.set_content(Page, "text/html");
    });
    startServer();
    fillRows(3, "/page", QStringLiteral("nothing-matches-this"));
    grid.setCell(0, ColumnUrl, url("/edit"));
    settings.ThreadCount = 1;
    runToEnd(controller);
    EXPECT_EQ(grid.cell(1, ColumnMatchesNumber), "0");
    EXPECT_EQ(grid.cell(2, ColumnMatchesNumber), "2");
}

TEST_F(UrlJobTest, MatchValuesReachTheRowStoreExactly)
{
    // Row 0's values hold the separator, so its text alone would read as three values; row 1's do not.
    server.serve("/bars", "<i>a||b</i><i>c</i>");
    server.serve("/plain", "<i>a</i><i>b</i>");
    startServer();
    fillRows(2, "/bars", QStringLiteral("<i>(.*?)</i>"));
    grid.setCell(1, ColumnUrl, url("/plain"));
    grid.setCell(0, ColumnRegexReplace, QStringLiteral("$1"));
    grid.setCell(1, ColumnRegexReplace, QStringLiteral("$1"));
    runToEnd(controller);
    EXPECT_EQ(grid.cell(0, ColumnMatches), "a||b||c||");
    EXPECT_EQ(grid.matchValues(0), (QStringList { "a||b", "c" }));
    EXPECT_EQ(grid.matchValues(1), (QStringList { "a", "b" }));
    // The next run starts from empty match lists, kept values included.
    grid.setCell(0, ColumnUrl, url("/missing"));
    runToEnd(controller);
    EXPECT_EQ(grid.matchValues(0), QStringList());
}

TEST_F(UrlJobTest, DrawnIdentitiesAreSentAndEmptyListsSendNoHeader)
{
    std::mutex seenMutex;
    std::vector<std::string> referers, agents;
    server.get("/who", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(seenMutex);
        referers.push_back(req.has_header("Referer") ? req.get_header_value("Referer") : "(none)");
        agents.push_back(req.has_header("User-Agent") ? req.get_header_value("User-Agent") : "(none)");
        res.set_content(Page, "text/html");
    });
    startServer();
    fillRows(4, "/who");
    settings.ThreadCount = 2;
    runToEnd(controller);
    EXPECT_EQ(referers, (std::vector<std::string>(4, "https://ref.example/")));
    EXPECT_EQ(agents, (std::vector<std::string>(4, "TestAgent/1.0")));

    // Empty lists: no header, and every row still completes with one worker.
    setList(IdentityKind::Referers, "");
    setList(IdentityKind::UserAgents, "");
    referers.clear();
    agents.clear();
    settings.ThreadCount = 1;
    const RunSummary s = runToEnd(controller);
    EXPECT_EQ(s.fetched, 4);
    EXPECT_EQ(referers, (std::vector<std::string>(4, "(none)")));
    EXPECT_EQ(agents, (std::vector<std::string>(4, "(none)")));
}

TEST_F(UrlJobTest, ProxiesEnabledWithAnEmptyListAreRefusedAndNeverBypassed)
{
    std::atomic<int> requests { 0 };
    server.get("/counted", [&](const httplib::Request&, httplib::Response& res) {
        ++requests;
        res.set_content(Page, "text/html");
    });
    startServer();
    controller.setStartCheck([this] { return proxyRefusal(settings, lists); });
    fillRows(5, "/page");
    settings.EnableProxies = true;
    QString refusal;
    EXPECT_FALSE(controller.ButtonStartClick(&refusal));
    EXPECT_EQ(refusal,
        "You cannot run with \"Enable proxies\" checked because \"proxies.txt\" holds no proxy\r\n"
        "Add proxies to \"proxies.txt\" or uncheck \"Enable proxies\"");
    EXPECT_TRUE(view.runningStates.empty());

    // Unchecked, an empty list is never drawn from.
    settings.EnableProxies = false;
    EXPECT_EQ(runToEnd(controller).fetched, 5);

    // Found empty only at draw time (as after a reload during the run): each row fails with the
    // outcome, no request goes out directly, and the workers live on.
    fillRows(5, "/counted");
    controller.setStartCheck(nullptr);
    settings.EnableProxies = true;
    settings.ThreadCount = 1;
    const RunSummary s = runToEnd(controller);
    EXPECT_EQ(requests, 0);
    EXPECT_EQ(s.failed, 5);
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(grid.cell(r, ColumnMatchesNumber), "0");
        EXPECT_EQ(grid.outcome(r), noProxyOutcome());
    }
}

TEST_F(UrlJobTest, TheDrawnProxyCarriesTheRequest)
{
    // A second server plays the proxy: it gets the request line with the whole URL.
    TestHttpServer proxy;
    std::atomic<int> proxied { 0 };
    proxy.get(".*", [&](const httplib::Request&, httplib::Response& res) {
        ++proxied;
        res.set_content(Page, "text/html");
    });
    proxy.start();
    setList(IdentityKind::Proxies, QByteArray("127.0.0.1:") + QByteArray::number(proxy.port()) + "\n");
    grid.setRowCount(2);
    for (int r = 0; r < 2; ++r) {
        grid.setCell(r, ColumnUrl, QStringLiteral("http://through-the-proxy.invalid/p"));
        grid.setCell(r, ColumnRegexPattern, QString::fromLatin1(EmailPattern));
    }
    settings.EnableProxies = true;
    const RunSummary s = runToEnd(controller);
    EXPECT_EQ(proxied, 2);
    EXPECT_EQ(s.fetched, 2);
    EXPECT_EQ(grid.cell(1, ColumnMatchesNumber), "2");
}

TEST_F(UrlJobTest, AbortLetsStartedRowsFinishAndSkipsTheRest)
{
    // Five workers hold rows 0 to 4 at the server until Abort has been pressed.
    std::mutex m;
    std::condition_variable cv;
    int arrived = 0;
    bool release = false;
    server.get("/held", [&](const httplib::Request&, httplib::Response& res) {
        std::unique_lock lock(m);
        ++arrived;
        cv.notify_all();
        cv.wait_for(lock, std::chrono::seconds(20), [&] { return release; });
        res.set_content(Page, "text/html");
    });
    startServer();
    fillRows(20, "/held");
    settings.ThreadCount = 5;
    bool ended = false;
    RunSummary s;
    QObject::connect(&controller, &RunController::finished, &controller, [&](const RunSummary& r) {
        s = r;
        ended = true;
    });
    ASSERT_TRUE(controller.ButtonStartClick());
    ASSERT_TRUE(spinUntil([&] {
        std::lock_guard lock(m);
        return arrived == 5;
    }));
    controller.ButtonAbortClick();
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    ASSERT_TRUE(spinUntil([&] { return ended; }));

    for (int r = 0; r < 20; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(grid.cell(r, ColumnMatchesNumber), r < 5 ? "2" : "");
        EXPECT_EQ(grid.cell(r, ColumnMatches), r < 5 ? "a@x.org||b@y.org||" : "");
    }
    EXPECT_EQ(arrived, 5);
    // Only the five started rows were counted; their first steps may reach the UI in any order.
    for (const QString& c : view.completedTexts)
        EXPECT_TRUE(c.toInt() >= 0 && c.toInt() <= 5) << c.toStdString();
    EXPECT_EQ(s.started, 5);
    EXPECT_TRUE(s.aborted);
    EXPECT_EQ(s.notRun, 15);
    EXPECT_EQ(view.messages.last(), "Extraction aborted");
}
