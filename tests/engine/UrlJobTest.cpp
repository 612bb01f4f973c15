#include "RecordingHandOff.h"

#include "engine/RunController.h"
#include "engine/RunSettings.h"
#include "engine/UrlJob.h"
#include "fetch/IdentityLists.h"
#include "fetch/TransferLoop.h"
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
    UrlJobTest() : controller(view, settings, urlJobFactory({ view, settings, lists, &transfers }), 0)
    {
        setList(IdentityKind::Referers, "https://ref.example/\n");
        setList(IdentityKind::UserAgents, "TestAgent/1.0\n");
        setList(IdentityKind::Proxies, "");
        server.serve("/page", Page);
        server.get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here a@x.org", "text/html");
        });
        // Every column-3 value each row shows, in order.
        QObject::connect(&view.grid(), &ResultsModel::dataChanged,
            [this](const QModelIndex& a, const QModelIndex& b, const QList<int>& roles) {
                if (a == b && a.column() == ColumnMatchesNumber && roles.contains(Qt::DisplayRole))
                    shown[a.row()].append(view.grid().cell(a.row(), ColumnMatchesNumber));
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
        view.grid().setRowCount(n);
        for (int r = 0; r < n; ++r) {
            view.grid().setCell(r, ColumnUrl, url(path));
            view.grid().setCell(r, ColumnRegexPattern, pattern);
        }
    }

    TempDir dir;
    TestHttpServer server;
    IdentityLists lists;
    RecordingHandOff view;
    RunSettings settings;
    TransferLoop transfers;
    RunController controller;
    std::map<int, QStringList> shown;
};

} // namespace

TEST_F(UrlJobTest, OneWorkerFillsEveryRowInOrderAndScrollsFromRowTen)
{
    startServer();
    fillRows(30, "/page");
    view.grid().setCell(7, ColumnUrl, url("/missing"));
    settings.ThreadCount = 1;
    const RunSummary s = runToEnd(controller);

    for (int r = 0; r < 30; ++r) {
        SCOPED_TRACE(r);
        const bool missing = r == 7;
        EXPECT_EQ(shown[r], (QStringList { "Fetching page...", missing ? "0" : "2" }));
        EXPECT_EQ(view.grid().cell(r, ColumnMatches), missing ? "" : "a@x.org||b@y.org||");
        EXPECT_EQ(view.grid().outcome(r), missing ? "HTTP 404" : "");
    }
    std::vector<int> scrolls;
    for (int m = 10; m < 30; ++m)
        scrolls.push_back(m - 10);
    EXPECT_EQ(view.scrolls, scrolls);
    QStringList completed { "0" };
    for (int m = 1; m <= 30; ++m)
        completed.append(QString::number(m));
    EXPECT_EQ(view.completedTexts, completed);

    EXPECT_EQ(s.rows, 30);
    EXPECT_EQ(s.fetched, 29);
    EXPECT_EQ(s.failed, 1);
    EXPECT_EQ(s.matches, 58);
    EXPECT_EQ(view.messages().last(), "Extraction terminated");
}

TEST_F(UrlJobTest, TheRowIsReadWhenItsJobStarts)
{
    // While row 0 is fetched, row 2 gets a pattern that matches.
    server.get("/edit", [this](const httplib::Request&, httplib::Response& res) {
        view.runOnUiThread(
            [this] { view.grid().setCell(2, ColumnRegexPattern, QString::fromLatin1(EmailPattern)); });
        res.set_content(Page, "text/html");
    });
    startServer();
    fillRows(3, "/page", QStringLiteral("nothing-matches-this"));
    view.grid().setCell(0, ColumnUrl, url("/edit"));
    settings.ThreadCount = 1;
    runToEnd(controller);
    EXPECT_EQ(view.grid().cell(1, ColumnMatchesNumber), "0");
    EXPECT_EQ(view.grid().cell(2, ColumnMatchesNumber), "2");
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
    EXPECT_FALSE(controller.ButtonStartClick());
    EXPECT_EQ(view.messages().last(),
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
        EXPECT_EQ(view.grid().cell(r, ColumnMatchesNumber), "0");
        EXPECT_EQ(view.grid().outcome(r), noProxyOutcome());
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
    view.grid().setRowCount(2);
    for (int r = 0; r < 2; ++r) {
        view.grid().setCell(r, ColumnUrl, QStringLiteral("http://through-the-proxy.invalid/p"));
        view.grid().setCell(r, ColumnRegexPattern, QString::fromLatin1(EmailPattern));
    }
    settings.EnableProxies = true;
    const RunSummary s = runToEnd(controller);
    EXPECT_EQ(proxied, 2);
    EXPECT_EQ(s.fetched, 2);
    EXPECT_EQ(view.grid().cell(1, ColumnMatchesNumber), "2");
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
    controller.setFinishedHandler([&](const RunSummary& r) {
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
        EXPECT_EQ(view.grid().cell(r, ColumnMatchesNumber), r < 5 ? "2" : "");
        EXPECT_EQ(view.grid().cell(r, ColumnMatches), r < 5 ? "a@x.org||b@y.org||" : "");
    }
    EXPECT_EQ(arrived, 5);
    // Only the five started rows were counted; their first steps may reach the UI in any order.
    QStringList completed = view.completedTexts;
    std::sort(completed.begin(), completed.end());
    EXPECT_EQ(completed, (QStringList { "0", "1", "2", "3", "4", "5" }));
    EXPECT_TRUE(s.aborted);
    EXPECT_EQ(s.notRun, 15);
    EXPECT_EQ(view.messages().last(), "Extraction aborted");
}
