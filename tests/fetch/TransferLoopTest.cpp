#include "fetch/TransferLoop.h"
#include "fetch/HttpUtilC.h"
#include "support/QtPrinters.h"
#include "support/RawSocketServer.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace
{

struct Got {
    QString page;
    QString outcome;
};

Got fetchVia(TransferLoop& loop, const std::string& url, int timeout)
{
    HttpUtil http(timeout, &loop);
    Got got;
    http.GetPage(QString::fromStdString(url), {}, {}, nullptr, got.page);
    got.outcome = http.outcome().text;
    return got;
}

} // namespace

TEST(TransferLoop, CarriesTheFetchesOfManyThreadsAtOnce)
{
    TestHttpServer server;
    server.get(R"(/n/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("page " + std::string(req.matches[1]), "text/plain");
    });
    // Our idle connections stay pooled; the server's stop waits for them this long.
    server.server().set_keep_alive_timeout(1);
    server.start();
    RawSocketServer silent([](RawSocketServer::Connection& c) {
        c.readHead();
        c.pause(10000);
    });

    TransferLoop loop;
    ASSERT_TRUE(loop.running());
    constexpr int Threads = 8, PerThread = 25;
    std::mutex mutex;
    std::vector<std::string> wrong;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < PerThread; ++i) {
                const int n = t * PerThread + i;
                const Got got = fetchVia(loop, server.baseUrl() + "/n/" + std::to_string(n), 5);
                if (got.page != QStringLiteral("page %1").arg(n) || !got.outcome.isEmpty()) {
                    std::lock_guard lock(mutex);
                    wrong.push_back(std::to_string(n) + ": \"" + got.page.toStdString() + "\", outcome \""
                        + got.outcome.toStdString() + "\"");
                }
            }
        });
    }
    // A transfer that stalls meanwhile ends at its own read limit.
    const Got stalled = fetchVia(loop, silent.baseUrl() + "/", 1);
    for (std::thread& t : threads)
        t.join();
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " wrong, the first: " << wrong.front();
    EXPECT_EQ(stalled.outcome, QStringLiteral("timed out after 1 s"));
}

TEST(TransferLoop, EndingTheLoopEndsTheTransfersUnderWay)
{
    RawSocketServer silent([](RawSocketServer::Connection& c) {
        c.readHead();
        c.pause(10000);
    });
    auto loop = std::make_unique<TransferLoop>();
    Got got;
    std::thread fetcher([&] { got = fetchVia(*loop, silent.baseUrl() + "/", 30); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (silent.connections() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(silent.connections(), 1) << "the fetch never reached the server";
    loop.reset();
    fetcher.join();
    EXPECT_EQ(got.page, QStringLiteral(""));
    EXPECT_EQ(got.outcome, QStringLiteral("stopped before the page came"));
}
