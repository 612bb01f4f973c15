#include "fetch/HttpUtilC.h"
#include "fetch/IdentityLists.h"
#include "fetch/PageDecoder.h"
#include "fetch/TransferLoop.h"
#include "support/QtPrinters.h"
#include "support/RawSocketServer.h"
#include "support/TestHttpServer.h"
#include "support/TestProxy.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace
{

using Kind = FetchOutcome::Kind;
using Clock = std::chrono::steady_clock;

const char* kindName(Kind k)
{
    static const char* const names[] = { "Ok", "HttpStatus", "Timeout", "Dns", "Refused", "Tls", "ProxyAuth",
        "TooManyRedirects", "BadProxy", "UnsupportedScheme", "Other", "TooLarge" };
    return names[static_cast<int>(k)];
}

// The transfer loop of the running test's path; null: the fetch runs on the calling thread.
TransferLoop* g_loop = nullptr;

struct Fetched {
    QString page;
    std::string utf8;
    FetchOutcome outcome;
    double seconds = 0;
};

struct Request {
    QString referer;
    QString userAgent;
    const QStringList* proxy = nullptr;
    int timeout = 5;
    std::uint64_t maxPageBytes = HttpUtil::DefaultMaxPageBytes;
    int overallFactor = HttpUtil::OverallBoundFactor;
};

// Only the GetPage half, for servers that answer once or slowly.
Fetched fetchOnce(const std::string& url, const Request& rq = {})
{
    Fetched f;
    f.page = QStringLiteral("stale");
    const auto start = Clock::now();
    HttpUtil http(rq.timeout, g_loop);
    http.setMaxPageBytes(rq.maxPageBytes);
    http.setOverallBoundFactor(rq.overallFactor);
    http.GetPage(QString::fromStdString(url), rq.referer, rq.userAgent, rq.proxy, f.page);
    f.outcome = http.outcome();
    f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return f;
}

// Fetches with the three entry points (three HttpUtil objects), so each test covers them all.
Fetched fetch(const std::string& url, const Request& rq = {})
{
    Fetched f = fetchOnce(url, rq);
    f.utf8 = "stale";
    HttpUtil http(rq.timeout, g_loop);
    http.GetPageUtf8(QString::fromStdString(url), rq.referer, rq.userAgent, rq.proxy, f.utf8);
    EXPECT_EQ(kindName(http.outcome().kind), kindName(f.outcome.kind)) << "GetPageUtf8 disagrees for " << url;
    EXPECT_EQ(QString::fromStdString(f.utf8), f.page) << "GetPageUtf8 disagrees for " << url;
    HttpUtil viewer(rq.timeout, g_loop);
    bool checked = false;
    const std::string_view view
        = viewer.GetPageView(QString::fromStdString(url), rq.referer, rq.userAgent, rq.proxy, checked);
    EXPECT_EQ(kindName(viewer.outcome().kind), kindName(f.outcome.kind)) << "GetPageView disagrees for " << url;
    EXPECT_EQ(checked ? std::string(view) : repairedUtf8(view), f.utf8) << "GetPageView disagrees for " << url;
    return f;
}

#define EXPECT_OUTCOME(f, expectedKind, expectedText)                                                             \
    do {                                                                                                          \
        EXPECT_STREQ(kindName((f).outcome.kind), kindName(expectedKind));                                         \
        EXPECT_EQ((f).outcome.text, QString::fromUtf8(expectedText));                                             \
    } while (0)

std::string header(const httplib::Request& req, const char* name)
{
    return req.has_header(name) ? req.get_header_value(name) : "(none)";
}

void addRoutes(TestHttpServer& s)
{
    s.serve("/page", "<html>hello</html>");
    s.serve("/missing", "<html>not here</html>", 404);
    s.serve("/created", "made", 201);
    s.serve("/no-location", "<html>moved somewhere</html>", 302);
    s.serve("/not-modified", "", 304, "text/html", { { "Location", "/page" } });
    s.serve("/big", std::string(1 << 20, 'x') + "end", 200, "text/plain");
    s.get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        const int n = std::stoi(req.matches[1]);
        if (n == 0)
            return res.set_content("end of chain", "text/plain");
        static const int statuses[] = { 301, 302, 303, 307, 308 };
        res.status = statuses[n % 5];
        res.set_header("Location", "/hop/" + std::to_string(n - 1));
        res.set_content("<html>moving on</html>", "text/html");
    });
    s.get("/cookie/set", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Set-Cookie", "session=42; Path=/");
        res.set_header("Location", "/cookie/show");
    });
    s.get("/cookie/show", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("cookie " + header(req, "Cookie"), "text/plain");
    });
    s.get("/headers", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("ua " + header(req, "User-Agent") + ", referer " + header(req, "Referer"), "text/plain");
    });
    s.redirect("/to-headers", "/headers");
    s.redirect("/to-ftp", "ftp://127.0.0.1/file.txt");
    s.redirect("/to-file", "file:///etc/hostname");
    s.serve("/latin", "caf\xE9", 200, "text/html");
    s.serve("/cp1251", "\xCF\xF0\xE8\xE2\xE5\xF2", 200, "text/html; charset=windows-1251");
    s.serve("/meta", "<meta charset=\"utf-8\">caf\xC3\xA9", 200, "text/html");
    s.serve("/binary", std::string("\x00\xFF\x80z", 4), 200, "application/octet-stream");
}

// Every fetch test runs twice: on the calling thread, and through a transfer loop (as a run does).
class HttpUtilTest : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override { g_loop = GetParam() ? loop.get() : nullptr; }
    void TearDown() override { g_loop = nullptr; }

    static void SetUpTestSuite()
    {
        loop = std::make_unique<TransferLoop>();
        plain = std::make_unique<TestHttpServer>();
        tls = TestHttpServer::makeTls();
        addRoutes(*plain);
        addRoutes(*tls);
        // Routes go in before the servers run; the ports are known only then.
        plain->get("/to-tls", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("https://127.0.0.1:" + std::to_string(tlsPort.load()) + "/page", 301);
        });
        tls->get("/to-plain", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("http://127.0.0.1:" + std::to_string(plainPort.load()) + "/page", 302);
        });
        plainPort = plain->start();
        tlsPort = tls->start();
    }
    static void TearDownTestSuite()
    {
        loop.reset();
        plain.reset();
        tls.reset();
    }
    static std::string http(const std::string& path) { return plain->baseUrl() + path; }
    static std::string https(const std::string& path) { return tls->baseUrl() + path; }

    static inline std::unique_ptr<TransferLoop> loop;
    static inline std::unique_ptr<TestHttpServer> plain;
    static inline std::unique_ptr<TestHttpServer> tls;
    static inline std::atomic<int> plainPort { 0 }, tlsPort { 0 };
};

// Sets an environment variable for one scope.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace

TEST_P(HttpUtilTest, OnlyA2xxFinalResponseGivesAPage)
{
    struct Case {
        std::string url;
        QString page;
        Kind kind;
        const char* text;
        int status;
    };
    const Case cases[] = {
        { http("/page"), "<html>hello</html>", Kind::Ok, "", 200 },
        { https("/page"), "<html>hello</html>", Kind::Ok, "", 200 },
        { http("/created"), "made", Kind::Ok, "", 201 },
        { http("/big"), QString(1 << 20, u'x') + "end", Kind::Ok, "", 200 },
        { http("/missing"), "", Kind::HttpStatus, "HTTP 404", 404 },
        { https("/missing"), "", Kind::HttpStatus, "HTTP 404", 404 },
        { http("/no-location"), "", Kind::HttpStatus, "HTTP 302", 302 },
        { http("/not-modified"), "", Kind::HttpStatus, "HTTP 304", 304 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const Fetched f = fetch(c.url);
        EXPECT_EQ(f.page, c.page);
        EXPECT_OUTCOME(f, c.kind, c.text);
        EXPECT_EQ(f.outcome.httpStatus, c.status);
    }
}

TEST_P(HttpUtilTest, FollowsFourteenRedirectsButNotFifteen)
{
    const Fetched fourteen = fetch(http("/hop/14"));
    EXPECT_EQ(fourteen.page, QStringLiteral("end of chain"));
    EXPECT_OUTCOME(fourteen, Kind::Ok, "");

    const Fetched fifteen = fetch(https("/hop/15"));
    EXPECT_EQ(fifteen.page, QStringLiteral(""));
    EXPECT_OUTCOME(fifteen, Kind::TooManyRedirects, "too many redirects");
}

TEST_P(HttpUtilTest, RedirectsCrossBetweenHttpAndHttps)
{
    EXPECT_EQ(fetch(http("/to-tls")).page, QStringLiteral("<html>hello</html>"));
    EXPECT_EQ(fetch(https("/to-plain")).page, QStringLiteral("<html>hello</html>"));
}

TEST_P(HttpUtilTest, SchemeInCapitalsAndSelfSignedCertificate)
{
    const std::string upper = "HTTPS://127.0.0.1:" + std::to_string(tls->port()) + "/page";
    const Fetched f = fetch(upper);
    EXPECT_EQ(f.page, QStringLiteral("<html>hello</html>"));
    EXPECT_OUTCOME(f, Kind::Ok, "");
    EXPECT_EQ(fetch("Http://127.0.0.1:" + std::to_string(plain->port()) + "/page").page,
        QStringLiteral("<html>hello</html>"));
}

TEST_P(HttpUtilTest, OffersOldAndNewTlsVersions)
{
    // The options are set alike on both paths, and each server here takes seconds to stop.
    if (!GetParam())
        GTEST_SKIP() << "covered through the transfer loop";
    struct Case {
        const char* name;
        int minVersion, maxVersion;
    };
    for (const Case& c : { Case { "TLS 1.0 only", TLS1_VERSION, TLS1_VERSION },
             Case { "TLS 1.2 only", TLS1_2_VERSION, TLS1_2_VERSION },
             Case { "TLS 1.3 only", TLS1_3_VERSION, TLS1_3_VERSION } }) {
        SCOPED_TRACE(c.name);
        auto server = TestHttpServer::makeTls([&](SSL_CTX& ctx) {
            SSL_CTX_set_min_proto_version(&ctx, c.minVersion);
            SSL_CTX_set_max_proto_version(&ctx, c.maxVersion);
            // This OpenSSL refuses TLS 1.0 at its default security level, on both sides.
            SSL_CTX_set_security_level(&ctx, 0);
        });
        server->serve("/page", "<html>old or new</html>");
        server->start();
        const Fetched f = fetchOnce(server->baseUrl() + "/page");
        EXPECT_EQ(f.page, QStringLiteral("<html>old or new</html>"));
        EXPECT_OUTCOME(f, Kind::Ok, "");
    }
}

TEST_P(HttpUtilTest, CookiesLiveForOneFetchOnly)
{
    HttpUtil http(5, g_loop);
    QString page;
    http.GetPage(QString::fromStdString(HttpUtilTest::http("/cookie/set")), {}, {}, nullptr, page);
    EXPECT_EQ(page, QStringLiteral("cookie session=42"));
    // Neither the same object nor a new one sends it again.
    http.GetPage(QString::fromStdString(HttpUtilTest::http("/cookie/show")), {}, {}, nullptr, page);
    EXPECT_EQ(page, QStringLiteral("cookie (none)"));
    EXPECT_EQ(fetch(HttpUtilTest::http("/cookie/show")).page, QStringLiteral("cookie (none)"));
}

TEST_P(HttpUtilTest, SendsUserAgentAndRefererOnlyWhenNotEmpty)
{
    struct Case {
        QString referer, userAgent;
        QString page;
    };
    const Case cases[] = {
        { "", "", "ua (none), referer (none)" },
        { "http://from.example/", "", "ua (none), referer http://from.example/" },
        { "", "Agent/1.0", "ua Agent/1.0, referer (none)" },
        { "r", "Agent/2.0 (X11)", "ua Agent/2.0 (X11), referer r" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page.toStdString());
        EXPECT_EQ(fetch(http("/headers"), { c.referer, c.userAgent }).page, c.page);
        // Also on the redirected request.
        EXPECT_EQ(fetch(http("/to-headers"), { c.referer, c.userAgent }).page, c.page);
    }
    // A line break would smuggle another header into the request.
    const Fetched f = fetch(http("/headers"), { "", "Agent\r\nX-Evil: 1" });
    EXPECT_EQ(f.page, QStringLiteral(""));
    EXPECT_OUTCOME(f, Kind::Other, "line break in User-Agent or Referer");
}

TEST_P(HttpUtilTest, ProxyEntries)
{
    // The port field is replaced by each case's own proxy.
    const QString port = QStringLiteral("PORT");
    const std::string target = http("/page");

    struct Case {
        const char* name;
        QStringList params;
        std::string requiredUser, requiredPassword; // empty user: the proxy asks for nothing
        QString page;
        Kind kind;
        const char* text;
        std::string firstAuth; // Proxy-Authorization of the first request ("" = none)
    };
    const QString proxied = QString::fromStdString("proxied " + target);
    const Case cases[] = {
        { "host and port, no credentials", { "127.0.0.1", port, "", "" }, "", "", proxied, Kind::Ok, "", "" },
        { "user with an empty password goes out at once", { "127.0.0.1", port, "user", "" }, "user", "", proxied,
            Kind::Ok, "", "Basic dXNlcjo=" },
        { "quoted password with a blank and a colon",
            buildProxyList(QStringLiteral("127.0.0.1:PORT:user:\"pa ss:w\"\"d\"")), "user", "pa ss:w\"d", proxied,
            Kind::Ok, "", "Basic dXNlcjpwYSBzczp3ImQ=" },
        { "extra fields are ignored", { "127.0.0.1", port, "u", "p", "extra" }, "u", "p", proxied, Kind::Ok, "",
            "Basic dTpw" },
        { "wrong password", { "127.0.0.1", port, "user", "bad" }, "user", "good", "", Kind::ProxyAuth,
            "proxy authentication failed (HTTP 407)", "Basic dXNlcjpiYWQ=" },
        { "no credentials for a proxy that wants them", { "127.0.0.1", port, "", "secret" }, "user", "good", "",
            Kind::ProxyAuth, "proxy authentication failed (HTTP 407)", "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestProxy p;
        if (!c.requiredUser.empty())
            p.requireCredentials(c.requiredUser, c.requiredPassword);
        QStringList params = c.params;
        params[1] = QString::number(p.port());
        const Fetched f = fetchOnce(target, { {}, {}, &params });
        EXPECT_EQ(f.page, c.page);
        EXPECT_OUTCOME(f, c.kind, c.text);
        const auto requests = p.requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET " + target + " HTTP/1.1");
        EXPECT_EQ(TestProxy::headerValue(requests[0], "Proxy-Authorization"), c.firstAuth);
    }
}

TEST_P(HttpUtilTest, ProxyAtAnIpv6AddressInBrackets)
{
    std::optional<TestProxy> proxy;
    try {
        proxy.emplace(RawSocketServer::Loopback::Ipv6);
    } catch (const std::exception& e) {
        GTEST_SKIP() << e.what();
    }
    proxy->requireCredentials("user", "p w");
    const std::string target = http("/page");
    const QStringList params = buildProxyList("[::1]:" + QString::number(proxy->port()) + ":user:\"p w\"");
    const Fetched f = fetchOnce(target, { {}, {}, &params });
    EXPECT_EQ(f.page, QString::fromStdString("proxied " + target));
    EXPECT_OUTCOME(f, Kind::Ok, "");
    const auto requests = proxy->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET " + target + " HTTP/1.1");
}

TEST_P(HttpUtilTest, HttpsThroughAProxyTunnel)
{
    TestProxy proxy;
    proxy.requireCredentials("user", "pw");
    const QStringList good = { "127.0.0.1", QString::number(proxy.port()), "user", "pw" };
    const Fetched f = fetchOnce(https("/page"), { {}, {}, &good });
    EXPECT_EQ(f.page, QStringLiteral("<html>hello</html>"));
    EXPECT_OUTCOME(f, Kind::Ok, "");
    ASSERT_FALSE(proxy.requests().empty());
    EXPECT_EQ(proxy.requests()[0].rfind("CONNECT 127.0.0.1:" + std::to_string(tls->port()) + " HTTP/1.1", 0), 0u);

    const QStringList bad = { "127.0.0.1", QString::number(proxy.port()), "user", "nope" };
    const Fetched refused = fetchOnce(https("/page"), { {}, {}, &bad });
    EXPECT_EQ(refused.page, QStringLiteral(""));
    EXPECT_OUTCOME(refused, Kind::ProxyAuth, "proxy authentication failed (HTTP 407)");
}

TEST_P(HttpUtilTest, DirectWhenThereIsNoProxyHost)
{
    TestProxy proxy;
    // The environment's proxy settings must not apply either way.
    ScopedEnv httpProxy("http_proxy", "http://127.0.0.1:" + std::to_string(proxy.port()));
    ScopedEnv allProxy("ALL_PROXY", "http://127.0.0.1:" + std::to_string(proxy.port()));
    const QStringList empty;
    const QStringList noHost = { "", "3128", "", "" };
    const QStringList blankLine = buildProxyList(QStringLiteral("   "));
    for (const QStringList* params : { static_cast<const QStringList*>(nullptr), &empty, &noHost, &blankLine }) {
        const Fetched f = fetch(http("/page"), { {}, {}, params });
        EXPECT_EQ(f.page, QStringLiteral("<html>hello</html>"));
    }
    EXPECT_TRUE(proxy.requests().empty());

    ScopedEnv noProxy("no_proxy", "*");
    const QStringList viaProxy = { "127.0.0.1", QString::number(proxy.port()), "", "" };
    EXPECT_EQ(
        fetchOnce(http("/page"), { {}, {}, &viaProxy }).page, QString::fromStdString("proxied " + http("/page")));
}

TEST_P(HttpUtilTest, UnusableProxyEntriesFailTheFetch)
{
    TestProxy proxy;
    const QString port = QString::number(proxy.port());
    struct Case {
        QStringList params;
        Kind kind;
        const char* text;
    };
    const Case cases[] = {
        { { "127.0.0.1", "80a", "", "" }, Kind::BadProxy, "bad proxy port \"80a\"" },
        { { "", "80a", "", "" }, Kind::BadProxy, "bad proxy port \"80a\"" },
        { { "127.0.0.1", "0", "", "" }, Kind::BadProxy, "bad proxy port \"0\"" },
        { { "127.0.0.1", "65536", "", "" }, Kind::BadProxy, "bad proxy port \"65536\"" },
        { { "127.0.0.1", "-80", "", "" }, Kind::BadProxy, "bad proxy port \"-80\"" },
        { { "127.0.0.1", " 80", "", "" }, Kind::BadProxy, "bad proxy port \" 80\"" },
        { { "127.0.0.1" }, Kind::BadProxy, "incomplete proxy entry (1 of 4 fields)" },
        { { "127.0.0.1", port }, Kind::BadProxy, "incomplete proxy entry (2 of 4 fields)" },
        { { "127.0.0.1", port, "user" }, Kind::BadProxy, "incomplete proxy entry (3 of 4 fields)" },
        { { "evil@127.0.0.1", port, "", "" }, Kind::BadProxy, "bad proxy host \"evil@127.0.0.1\"" },
        { { "127.0.0.1/x", port, "", "" }, Kind::BadProxy, "bad proxy host \"127.0.0.1/x\"" },
        { { "127.0.0.1", QString::number(closedPort()), "", "" }, Kind::Refused, "proxy refused the connection" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.params.join(u'|').toStdString());
        const Fetched f = fetch(http("/page"), { {}, {}, &c.params });
        EXPECT_EQ(f.page, QStringLiteral(""));
        EXPECT_OUTCOME(f, c.kind, c.text);
    }
    EXPECT_TRUE(proxy.requests().empty());
}

TEST_P(HttpUtilTest, ReadLimitIsTheLongestWaitForData)
{
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 7\r\n\r\n";
    RawSocketServer silent([](RawSocketServer::Connection& c) {
        c.readHead();
        c.pause(10000);
    });
    RawSocketServer stallsMidway([&](RawSocketServer::Connection& c) {
        c.readHead();
        c.send(head + "par");
        c.pause(10000);
    });
    // 1.2 s in all, but never 1 s without a byte.
    RawSocketServer drips([&](RawSocketServer::Connection& c) {
        c.readHead();
        c.send(head);
        for (char ch : std::string("dripped"))
            if (!c.pause(170) || !c.send(std::string(1, ch)))
                return;
    });
    for (RawSocketServer* s : { &silent, &stallsMidway }) {
        const Fetched f = fetchOnce(s->baseUrl() + "/", { {}, {}, nullptr, 1 });
        EXPECT_EQ(f.page, QStringLiteral(""));
        EXPECT_OUTCOME(f, Kind::Timeout, "timed out after 1 s");
        EXPECT_GE(f.seconds, 0.95);
        EXPECT_LT(f.seconds, 5.0) << "waited for the server instead of the read limit";
    }
    const Fetched f = fetchOnce(drips.baseUrl() + "/", { {}, {}, nullptr, 1 });
    EXPECT_EQ(f.page, QStringLiteral("dripped"));
    EXPECT_OUTCOME(f, Kind::Ok, "");
    EXPECT_GE(f.seconds, 1.1);
}

TEST_P(HttpUtilTest, ConnectLimitIsOneSecondLessThanTheReadLimit)
{
    FullBacklogListener listener;
    const Fetched f
        = fetchOnce("http://127.0.0.1:" + std::to_string(listener.port()) + "/", { {}, {}, nullptr, 2 });
    EXPECT_EQ(f.page, QStringLiteral(""));
    EXPECT_OUTCOME(f, Kind::Timeout, "connection timed out after 1 s");
    EXPECT_GE(f.seconds, 0.95);
    EXPECT_LT(f.seconds, 1.9) << "the read limit (2 s) ran instead of the connect limit (1 s)";
}

TEST_P(HttpUtilTest, NoTimeFailsAtOnceWithoutConnecting)
{
    RawSocketServer server([](RawSocketServer::Connection& c) {
        c.readHead();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi");
    });
    for (int timeout : { 0, -3 }) {
        const Fetched f = fetch(server.baseUrl() + "/", { {}, {}, nullptr, timeout });
        EXPECT_EQ(f.page, QStringLiteral(""));
        EXPECT_OUTCOME(f, Kind::Timeout, "timed out after 0 s");
    }
    EXPECT_EQ(server.connections(), 0);
}

TEST_P(HttpUtilTest, DecodesByHeaderPageOrOneCharacterPerByte)
{
    struct Case {
        const char* path;
        QString page;
    };
    const Case cases[] = {
        { "/page", "<html>hello</html>" },
        { "/latin", QString::fromUtf8("caf\u00e9") },
        { "/cp1251", QString::fromUtf8("\u041f\u0440\u0438\u0432\u0435\u0442") },
        { "/meta", QString::fromUtf8("<meta charset=\"utf-8\">caf\u00e9") },
        { "/binary", QString::fromUtf8(QByteArray("\x00\xC3\xBF\xC2\x80z", 6)) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(fetch(http(c.path)).page, c.page);
    }
}

TEST_P(HttpUtilTest, OnlyHttpAndHttpsAlsoOnRedirects)
{
    const std::string hostPort = "127.0.0.1:" + std::to_string(plain->port());
    struct Case {
        std::string url;
        const char* text;
    };
    const Case cases[] = {
        { hostPort + "/page", "URL without a scheme" },
        { "www.example.com/page", "URL without a scheme" },
        { "", "URL without a scheme" },
        { "ftp://" + hostPort + "/page", "unsupported scheme \"ftp\"" },
        { "file:///etc/hostname", "unsupported scheme \"file\"" },
        { "gopher://" + hostPort + "/", "unsupported scheme \"gopher\"" },
        { http("/to-ftp"), "redirect to an unsupported scheme" },
        { http("/to-file"), "redirect to an unsupported scheme" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const Fetched f = fetch(c.url);
        EXPECT_EQ(f.page, QStringLiteral(""));
        EXPECT_OUTCOME(f, Kind::UnsupportedScheme, c.text);
    }
}

TEST_P(HttpUtilTest, NetworkFailuresAreRecorded)
{
    RawSocketServer closes([](RawSocketServer::Connection& c) { c.readHead(); });
    RawSocketServer truncates([](RawSocketServer::Connection& c) {
        c.readHead();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc");
    });
    RawSocketServer notHttp([](RawSocketServer::Connection& c) {
        c.readHead();
        c.send("hello there\r\n");
    });
    struct Case {
        std::string url;
        Kind kind;
        const char* text;
    };
    const Case cases[] = {
        { "http://127.0.0.1:" + std::to_string(closedPort()) + "/", Kind::Refused, "connection refused" },
        { "https://127.0.0.1:" + std::to_string(plain->port()) + "/page", Kind::Tls, "TLS handshake failed" },
        { closes.baseUrl() + "/", Kind::Other, "empty reply from server" },
        { truncates.baseUrl() + "/", Kind::Other, "connection closed before the page was complete" },
        { notHttp.baseUrl() + "/", Kind::Other, "reply is not HTTP" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const Fetched f = fetch(c.url);
        EXPECT_EQ(f.page, QStringLiteral(""));
        EXPECT_OUTCOME(f, c.kind, c.text);
    }
}

TEST_P(HttpUtilTest, OneObjectServesSeveralFetches)
{
    TestProxy proxy;
    const QStringList viaProxy = { "127.0.0.1", QString::number(proxy.port()), "", "" };
    HttpUtil http(5, g_loop);
    QString page;
    http.GetPage(QString::fromStdString(HttpUtilTest::http("/missing")), {}, {}, nullptr, page);
    EXPECT_EQ(http.outcome().text, QStringLiteral("HTTP 404"));
    http.GetPage(QString::fromStdString(HttpUtilTest::http("/page")), {}, {}, &viaProxy, page);
    EXPECT_EQ(page, QString::fromStdString("proxied " + HttpUtilTest::http("/page")));
    EXPECT_TRUE(http.outcome().ok());
    // Options of the last fetch do not leak into the next one.
    http.GetPage(QString::fromStdString(HttpUtilTest::http("/headers")), {}, {}, nullptr, page);
    EXPECT_EQ(page, QStringLiteral("ua (none), referer (none)"));
    EXPECT_EQ(proxy.requests().size(), 1u);
}

TEST_P(HttpUtilTest, UrlIsSentPercentEncoded)
{
    std::mutex mutex;
    std::string requestLine;
    RawSocketServer server([&](RawSocketServer::Connection& c) {
        const std::string head = c.readHead();
        {
            std::lock_guard lock(mutex);
            requestLine = head.substr(0, head.find("\r\n"));
        }
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    const Fetched f = fetchOnce(server.baseUrl() + "/a b/caf\xC3\xA9/%41?q=x y&r=a+b c#frag x");
    EXPECT_EQ(f.page, QStringLiteral("ok"));
    std::lock_guard lock(mutex);
    // A blank is %20 in the query too, as browsers send it; a '+' stays.
    EXPECT_EQ(requestLine, "GET /a%20b/caf%c3%a9/%41?q=x%20y&r=a+b%20c HTTP/1.1");
}

TEST_P(HttpUtilTest, UrlWithANulIsRefusedWithoutARequest)
{
    RawSocketServer server([](RawSocketServer::Connection& c) {
        c.readHead();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    const QString url = QString::fromStdString(server.baseUrl() + "/a") + QChar(0) + QStringLiteral("b");
    HttpUtil http(5, g_loop);
    QString page = QStringLiteral("stale");
    http.GetPage(url, {}, {}, nullptr, page);
    EXPECT_EQ(page, QStringLiteral(""));
    EXPECT_EQ(http.outcome().text, QStringLiteral("URL holds a NUL character"));
    EXPECT_EQ(server.connections(), 0);
}

TEST_P(HttpUtilTest, HeaderLinesTooLongForLibcurlAreNamed)
{
    RawSocketServer longHeader([](RawSocketServer::Connection& c) {
        c.readHead();
        c.send("HTTP/1.1 200 OK\r\nX-Long: " + std::string(200 * 1024, 'a') + "\r\nContent-Length: 2\r\n\r\nok");
    });
    const Fetched f = fetch(longHeader.baseUrl() + "/");
    EXPECT_EQ(f.page, QStringLiteral(""));
    EXPECT_OUTCOME(f, Kind::Other, "header line too long");

    const Fetched agent = fetch(http("/headers"), { {}, QString(2 * 1024 * 1024, u'u') });
    EXPECT_EQ(agent.page, QStringLiteral(""));
    EXPECT_OUTCOME(agent, Kind::Other, "header line too long");
}

// The process's peak resident memory from now on, in KB: the kernel's mark is reset to the present.
class PeakRss
{
public:
    PeakRss()
    {
        std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
        m_reset = f && std::fputs("5", f) >= 0;
        if (f)
            m_reset = std::fclose(f) == 0 && m_reset;
        m_start = field("VmRSS:");
    }
    bool reset() const { return m_reset; }
    long startKb() const { return m_start; }
    long peakKb() const { return field("VmHWM:"); }

private:
    static long field(const char* name)
    {
        std::FILE* f = std::fopen("/proc/self/status", "r");
        char line[256];
        long kb = -1;
        while (f && std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, name, std::strlen(name)) == 0)
                kb = std::atol(line + std::strlen(name));
        }
        if (f)
            std::fclose(f);
        return kb;
    }
    bool m_reset = false;
    long m_start = 0;
};

TEST_P(HttpUtilTest, PagesAboveTheCapAreRefused)
{
    const std::string chunk(64 * 1024, 'x');
    // Announces 200 MiB and sends none of it.
    RawSocketServer announced([](RawSocketServer::Connection& c) {
        c.readHead();
        c.send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 209715200\r\n\r\n");
        c.pause(10000);
    });
    // No length, and bytes as fast as they go until 64 MiB or the client gives up.
    RawSocketServer endless([&](RawSocketServer::Connection& c) {
        c.readHead();
        c.send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
        for (int i = 0; i < 1024 && c.send(chunk); ++i) { }
    });
    const Fetched big = fetchOnce(announced.baseUrl() + "/");
    EXPECT_EQ(big.page, QStringLiteral(""));
    EXPECT_OUTCOME(big, Kind::TooLarge, "page larger than 128 MiB");
    EXPECT_LT(big.seconds, 5.0) << "read the announced body instead of refusing it";

    const PeakRss rss;
    Request capped;
    capped.maxPageBytes = 4 * 1024 * 1024;
    const Fetched flood = fetchOnce(endless.baseUrl() + "/", capped);
    EXPECT_TRUE(flood.page.isEmpty()) << flood.page.size() << " characters";
    EXPECT_OUTCOME(flood, Kind::TooLarge, "page larger than 4 MiB");
    if (rss.reset()) {
        EXPECT_LT(rss.peakKb() - rss.startKb(), 32 * 1024)
            << "peak " << rss.peakKb() << " KB from " << rss.startKb() << " KB before the fetch";
    }

    capped.maxPageBytes = 1000;
    const Fetched small = fetchOnce(http("/big"), capped);
    EXPECT_TRUE(small.page.isEmpty()) << small.page.size() << " characters";
    EXPECT_OUTCOME(small, Kind::TooLarge, "page larger than 1000 bytes");
}

TEST_P(HttpUtilTest, OneFetchIsBoundedInAll)
{
    // A byte every 100 ms: the read limit (1 s) never runs out; the servers give up after 10 s.
    RawSocketServer tricklingBody([](RawSocketServer::Connection& c) {
        c.readHead();
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
        for (int i = 0; i < 100 && c.pause(100) && c.send("x"); ++i) { }
    });
    RawSocketServer tricklingHeaders([](RawSocketServer::Connection& c) {
        c.readHead();
        c.send("HTTP/1.1 200 OK\r\n");
        for (int i = 0; i < 100 && c.pause(100) && c.send("X-More: yes\r\n"); ++i) { }
    });
    Request rq;
    rq.timeout = 1;
    rq.overallFactor = 1;
    for (RawSocketServer* s : { &tricklingBody, &tricklingHeaders }) {
        const Fetched f = fetchOnce(s->baseUrl() + "/", rq);
        EXPECT_EQ(f.page, QStringLiteral(""));
        EXPECT_OUTCOME(f, Kind::Timeout, "stopped after 1 s in all");
        EXPECT_GE(f.seconds, 0.95);
        EXPECT_LT(f.seconds, 8.0) << "waited for the server instead of the overall bound";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, HttpUtilTest, ::testing::Values(false, true), [](const ::testing::TestParamInfo<bool>& info) {
        return info.param ? "ThroughTransferLoop" : "OnCallingThread";
    });
