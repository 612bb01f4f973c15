#include "fetch/HttpUtilC.h"

#include "fetch/PageDecoder.h"
#include "fetch/ProxySettings.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <mutex>
#include <system_error>

namespace
{

using Clock = std::chrono::steady_clock;

// Redirect responses followed at most; the next one ends the fetch.
constexpr long kMaxRedirects = 14;
// Content-Length is only a hint for the buffer; a lying server must not make us allocate gigabytes up front.
constexpr curl_off_t kMaxReserve = 64 * 1024 * 1024;

constexpr long kReceiveBuffer = 100 * 1024;

// Idle connections the shared pool keeps; above the largest thread count, so that no worker's
// connection is closed to make room for another's.
constexpr long kPooledConnections = 128;

// What every HttpUtil of the process shares: the DNS cache, TLS sessions and idle connections, so
// a job's new handle reuses a connection an earlier job left open. Never cookies: each fetch
// starts without any. Left alive to the end of the process (workers may still be fetching then).
class SharedCaches
{
public:
    SharedCaches()
    {
        m_share = curl_share_init();
        if (!m_share)
            return;
        bool ok = curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &SharedCaches::lock) == CURLSHE_OK
            && curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &SharedCaches::unlock) == CURLSHE_OK
            && curl_share_setopt(m_share, CURLSHOPT_USERDATA, this) == CURLSHE_OK;
        for (const curl_lock_data data :
            { CURL_LOCK_DATA_DNS, CURL_LOCK_DATA_SSL_SESSION, CURL_LOCK_DATA_CONNECT })
            ok = ok && curl_share_setopt(m_share, CURLSHOPT_SHARE, data) == CURLSHE_OK;
        if (!ok) {
            curl_share_cleanup(m_share);
            m_share = nullptr;
        }
    }

    // Null when libcurl could not make it: each handle then keeps its own caches.
    CURLSH* handle() const { return m_share; }

private:
    static std::mutex* mutexFor(void* self, curl_lock_data data)
    {
        auto* caches = static_cast<SharedCaches*>(self);
        const auto index = std::size_t(data);
        return index < std::size(caches->m_mutexes) ? &caches->m_mutexes[index] : nullptr;
    }
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self)
    {
        if (std::mutex* m = mutexFor(self, data))
            m->lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self)
    {
        if (std::mutex* m = mutexFor(self, data))
            m->unlock();
    }

    CURLSH* m_share = nullptr;
    std::mutex m_mutexes[CURL_LOCK_DATA_LAST];
};

// The multi handle of the calling thread, shared by every HttpUtil used there (a fetch adds its
// handle and removes it before it returns): making one costs a socket pair and a dozen system
// calls, which would otherwise be paid once per job.
class ThreadMulti
{
public:
    ThreadMulti() : m_multi(curl_multi_init())
    {
        // Returned connections go to the shared pool; its limit follows the handle that returns them.
        if (m_multi)
            curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, kPooledConnections);
    }
    ~ThreadMulti() { curl_multi_cleanup(m_multi); }
    ThreadMulti(const ThreadMulti&) = delete;
    ThreadMulti& operator=(const ThreadMulti&) = delete;

    static CURLM* current()
    {
        thread_local ThreadMulti mine;
        return mine.m_multi;
    }

private:
    CURLM* m_multi;
};

CURLSH* initCurlOnce()
{
    static std::once_flag once;
    static SharedCaches* caches = nullptr;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        caches = new SharedCaches;
    });
    return caches->handle();
}

bool hasLineBreakOrNul(const QString& s)
{
    return s.contains(u'\r') || s.contains(u'\n') || s.contains(QChar(0));
}

QString secondsText(int seconds)
{
    return QStringLiteral("%1 s").arg(seconds);
}

} // namespace

struct HttpUtil::Impl {
    CURL* easy = nullptr;
    CURLU* url = nullptr;
    FetchOutcome outcome;

    // State of the running fetch, touched by libcurl's callbacks.
    std::string body;
    bool keepBody = false;
    bool outOfMemory = false;
    bool notModified = false;
    bool waitingForData = false; // the read limit runs only while a request waits for its answer
    Clock::time_point lastData;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    // The cookie engine is switched on once per handle. Not with an empty cookie file name: that
    // name stays on a list inside libcurl that curl_easy_reset never frees.
    bool cookieEngineOn = false;

    Impl()
    {
        CURLSH* share = initCurlOnce();
        easy = curl_easy_init();
        url = curl_url();
        // The reset before each fetch keeps the share.
        if (easy && share)
            curl_easy_setopt(easy, CURLOPT_SHARE, share);
    }
    ~Impl()
    {
        curl_url_cleanup(url);
        curl_easy_cleanup(easy);
    }

    void fail(FetchOutcome::Kind kind, QString text)
    {
        outcome.kind = kind;
        outcome.text = std::move(text);
    }

    bool checkUrl(const QString& address);
    bool configure(const QString& referer, const QString& userAgent, const ProxySettings& proxy, int timeoutInSec);
    CURLcode perform(CURLM* multi, long long readLimitMs, bool& stalled);
    void describeFailure(CURLcode rc, bool stalled, bool viaProxy, int timeoutInSec);
    void fetch(const QString& address, const QString& referer, const QString& userAgent,
        const QStringList* proxyParams, int timeoutInSec, std::string& page);

    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onWrite(char* data, size_t size, size_t count, void* self);
    static int onPrereq(void* self, char*, char*, int, int);
    static int onSocket(void* self, curl_socket_t, curlsocktype);
    static int onResolverStart(void*, void*, void* self);
};

size_t HttpUtil::Impl::onHeader(char* data, size_t size, size_t count, void* self)
{
    auto* d = static_cast<Impl*>(self);
    const size_t n = size * count;
    d->lastData = Clock::now();
    if (n >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        // A new response (after a redirect, a 100 or a proxy tunnel): nothing before it belongs to the page.
        d->body.clear();
        d->keepBody = false;
    } else if (n >= 1 && n <= 2 && (data[0] == '\r' || data[0] == '\n')) {
        long status = 0;
        curl_easy_getinfo(d->easy, CURLINFO_RESPONSE_CODE, &status);
        // libcurl would follow a Location on a 304; it is the final answer.
        if (status == 304) {
            d->notModified = true;
            return 0;
        }
        d->keepBody = status >= 200 && status < 300;
        curl_off_t length = -1;
        curl_easy_getinfo(d->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (d->keepBody && length > 0) {
            try {
                d->body.reserve(size_t(std::min(length, kMaxReserve)));
            } catch (const std::bad_alloc&) {
                // The appends will tell.
            }
        }
    }
    return n;
}

size_t HttpUtil::Impl::onWrite(char* data, size_t size, size_t count, void* self)
{
    auto* d = static_cast<Impl*>(self);
    const size_t n = size * count;
    d->lastData = Clock::now();
    if (!d->keepBody)
        return n; // the body of an error page is not wanted
    try {
        d->body.append(data, n);
    } catch (const std::exception&) {
        // No exception may cross libcurl's C frames.
        d->outOfMemory = true;
        return 0;
    }
    return n;
}

int HttpUtil::Impl::onPrereq(void* self, char*, char*, int, int)
{
    auto* d = static_cast<Impl*>(self);
    d->waitingForData = true;
    d->lastData = Clock::now();
    return CURL_PREREQFUNC_OK;
}

int HttpUtil::Impl::onSocket(void* self, curl_socket_t, curlsocktype)
{
    // A new connection: its set-up falls under the connect limit, not the read limit.
    static_cast<Impl*>(self)->waitingForData = false;
    return CURL_SOCKOPT_OK;
}

int HttpUtil::Impl::onResolverStart(void*, void*, void* self)
{
    static_cast<Impl*>(self)->waitingForData = false;
    return 0;
}

bool HttpUtil::Impl::checkUrl(const QString& address)
{
    const QByteArray bytes = address.toUtf8();
    // Spaces become %20, as browsers send them; a URL without a scheme is not guessed at.
    const CURLUcode uc = curl_url_set(
        url, CURLUPART_URL, bytes.constData(), CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE | CURLU_URLENCODE);
    if (uc != CURLUE_OK) {
        const qsizetype colon = bytes.indexOf("://");
        if (colon <= 0)
            fail(FetchOutcome::Kind::UnsupportedScheme, QStringLiteral("URL without a scheme"));
        else
            fail(FetchOutcome::Kind::Other,
                QStringLiteral("bad URL (%1)").arg(QString::fromUtf8(curl_url_strerror(uc))));
        return false;
    }
    char* scheme = nullptr;
    curl_url_get(url, CURLUPART_SCHEME, &scheme, 0);
    const QString schemeText = QString::fromUtf8(scheme ? scheme : "");
    curl_free(scheme);
    if (schemeText != u"http" && schemeText != u"https") {
        fail(FetchOutcome::Kind::UnsupportedScheme, QStringLiteral("unsupported scheme \"%1\"").arg(schemeText));
        return false;
    }
    return true;
}

bool HttpUtil::Impl::configure(
    const QString& referer, const QString& userAgent, const ProxySettings& proxy, int timeoutInSec)
{
    // Options go back to their defaults; the connection, DNS and TLS session caches stay.
    curl_easy_reset(easy);
    bool ok = true;
    auto set
        = [&](CURLoption option, auto value) { ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK; };
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, errorBuffer);
    set(CURLOPT_CURLU, url);
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    set(CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    // A typical page in one read instead of several (libcurl's default is 16 KB).
    set(CURLOPT_BUFFERSIZE, kReceiveBuffer);

    // Cookies live for one fetch: kept across its redirects, gone before the next.
    if (!cookieEngineOn) {
        // Any cookie line starts the engine; the jar is emptied right below.
        set(CURLOPT_COOKIELIST, "Set-Cookie: glimmerpick=0; domain=invalid");
        cookieEngineOn = ok;
    }
    set(CURLOPT_COOKIELIST, "ALL");

    // libcurl sends no User-Agent and no Referer unless told to.
    if (!userAgent.isEmpty())
        set(CURLOPT_USERAGENT, userAgent.toUtf8().constData());
    if (!referer.isEmpty())
        set(CURLOPT_REFERER, referer.toUtf8().constData());

    // An empty proxy and an empty no-proxy list keep http_proxy / no_proxy from the environment out.
    set(CURLOPT_PROXY, proxy.enabled ? proxy.curlProxyUrl().constData() : "");
    set(CURLOPT_NOPROXY, "");
    if (proxy.enabled) {
        set(CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
        if (proxy.basicAuth) {
            set(CURLOPT_PROXYUSERNAME, proxy.userName.toUtf8().constData());
            set(CURLOPT_PROXYPASSWORD, proxy.password.toUtf8().constData());
            set(CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
        }
    }

    const long connectLimitMs = long(timeoutInSec) * 1000 - 1000;
    if (connectLimitMs > 0)
        set(CURLOPT_CONNECTTIMEOUT_MS, connectLimitMs);

    // No certificate check; TLS 1.0 up to the newest both sides know, with the old ciphers still allowed.
    set(CURLOPT_SSL_VERIFYPEER, 0L);
    set(CURLOPT_SSL_VERIFYHOST, 0L);
    set(CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_0) | long(CURL_SSLVERSION_MAX_DEFAULT));
    set(CURLOPT_SSL_CIPHER_LIST, "DEFAULT:@SECLEVEL=0");

    set(CURLOPT_HEADERFUNCTION, &Impl::onHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEFUNCTION, &Impl::onWrite);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_PREREQFUNCTION, &Impl::onPrereq);
    set(CURLOPT_PREREQDATA, this);
    set(CURLOPT_SOCKOPTFUNCTION, &Impl::onSocket);
    set(CURLOPT_SOCKOPTDATA, this);
    set(CURLOPT_RESOLVER_START_FUNCTION, &Impl::onResolverStart);
    set(CURLOPT_RESOLVER_START_DATA, this);
    if (!ok)
        fail(FetchOutcome::Kind::Other, QStringLiteral("network library refused an option"));
    return ok;
}

// curl_easy_perform's loop, with the read limit measured to the millisecond from the last byte received.
CURLcode HttpUtil::Impl::perform(CURLM* multi, long long readLimitMs, bool& stalled)
{
    stalled = false;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    int running = 1;
    while (running) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (!running)
            break;
        int waitMs = 1000;
        if (readLimitMs > 0 && waitingForData) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                lastData + std::chrono::milliseconds(readLimitMs) - Clock::now());
            if (left.count() <= 0) {
                stalled = true;
                break;
            }
            waitMs = int(std::min<long long>(left.count(), waitMs));
        }
        curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
    }
    if (!stalled && result == CURLE_OK) {
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy)
                result = msg->data.result;
        }
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

void HttpUtil::Impl::describeFailure(CURLcode rc, bool stalled, bool viaProxy, int timeoutInSec)
{
    using Kind = FetchOutcome::Kind;
    if (stalled)
        return fail(Kind::Timeout, QStringLiteral("timed out after ") + secondsText(timeoutInSec));
    if (outOfMemory)
        return fail(Kind::Other, QStringLiteral("page too large for memory"));
    long connectCode = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    if (connectCode == 407)
        return fail(Kind::ProxyAuth, QStringLiteral("proxy authentication failed (HTTP 407)"));

    switch (rc) {
    case CURLE_OPERATION_TIMEDOUT: {
        // Without a connect limit of ours, libcurl's own default ran out.
        curl_off_t spent = 0;
        curl_easy_getinfo(easy, CURLINFO_TOTAL_TIME_T, &spent);
        const int limit = timeoutInSec > 1 ? timeoutInSec - 1 : int(spent / 1000000);
        return fail(Kind::Timeout, QStringLiteral("connection timed out after ") + secondsText(limit));
    }
    case CURLE_COULDNT_RESOLVE_HOST:
        return fail(Kind::Dns, QStringLiteral("host not found"));
    case CURLE_COULDNT_RESOLVE_PROXY:
        return fail(Kind::Dns, QStringLiteral("proxy host not found"));
    case CURLE_COULDNT_CONNECT: {
        long osErrno = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
        if (osErrno == ECONNREFUSED || osErrno == 0)
            return fail(Kind::Refused,
                viaProxy ? QStringLiteral("proxy refused the connection") : QStringLiteral("connection refused"));
        return fail(Kind::Refused,
            QStringLiteral("could not connect: %1")
                .arg(QString::fromStdString(std::error_code(int(osErrno), std::generic_category()).message())));
    }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED:
        return fail(Kind::Tls, QStringLiteral("TLS handshake failed"));
    case CURLE_TOO_MANY_REDIRECTS:
        return fail(Kind::TooManyRedirects, QStringLiteral("too many redirects"));
    case CURLE_UNSUPPORTED_PROTOCOL:
        // Also what libcurl says about a reply that is not HTTP at all.
        if (std::strstr(errorBuffer, "HTTP/0.9"))
            return fail(Kind::Other, QStringLiteral("reply is not HTTP"));
        return fail(Kind::UnsupportedScheme, QStringLiteral("redirect to an unsupported scheme"));
    case CURLE_GOT_NOTHING:
        return fail(Kind::Other, QStringLiteral("empty reply from server"));
    case CURLE_PARTIAL_FILE:
        return fail(Kind::Other, QStringLiteral("connection closed before the page was complete"));
    default:
        break;
    }
    if (connectCode >= 300)
        return fail(Kind::Other, QStringLiteral("proxy refused the tunnel (HTTP %1)").arg(connectCode));
    const char* reason = errorBuffer[0] ? errorBuffer : curl_easy_strerror(rc);
    fail(Kind::Other, QString::fromUtf8(reason).trimmed());
}

void HttpUtil::Impl::fetch(const QString& address, const QString& referer, const QString& userAgent,
    const QStringList* proxyParams, int timeoutInSec, std::string& page)
{
    using Kind = FetchOutcome::Kind;
    page.clear();
    outcome = FetchOutcome();
    body.clear();
    keepBody = false;
    outOfMemory = false;
    notModified = false;
    waitingForData = false;
    errorBuffer[0] = '\0';

    CURLM* multi = ThreadMulti::current();
    if (!easy || !multi || !url)
        return fail(Kind::Other, QStringLiteral("network library could not start"));
    if (!checkUrl(address))
        return;
    const ProxySettings proxy = parseProxyParams(proxyParams);
    if (!proxy.valid)
        return fail(Kind::BadProxy, proxy.error);
    if (hasLineBreakOrNul(userAgent) || hasLineBreakOrNul(referer))
        return fail(Kind::Other, QStringLiteral("line break in User-Agent or Referer"));
    // A negative connect limit has expired before the connection starts.
    if (timeoutInSec <= 0)
        return fail(Kind::Timeout, QStringLiteral("timed out after ") + secondsText(0));
    if (!configure(referer, userAgent, proxy, timeoutInSec))
        return;

    bool stalled = false;
    const CURLcode rc = perform(multi, timeoutInSec * 1000LL, stalled);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    outcome.httpStatus = int(status);
    if (notModified)
        return fail(Kind::HttpStatus, QStringLiteral("HTTP 304"));
    if (stalled || rc != CURLE_OK)
        return describeFailure(rc, stalled, proxy.enabled, timeoutInSec);
    if (status < 200 || status >= 300) {
        if (status == 407 && proxy.enabled)
            return fail(Kind::ProxyAuth, QStringLiteral("proxy authentication failed (HTTP 407)"));
        return fail(Kind::HttpStatus, QStringLiteral("HTTP %1").arg(status));
    }
    const char* contentType = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &contentType);
    page = decodePageToUtf8(std::move(body), contentType ? std::string_view(contentType) : std::string_view());
    body = std::string();
}

HttpUtil::HttpUtil(int TimeoutInSeconds) : TimeoutInSec(TimeoutInSeconds), m_impl(std::make_unique<Impl>()) { }

HttpUtil::~HttpUtil() = default;

void HttpUtil::GetPageUtf8(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
    const QStringList* ProxyParams, std::string& pageUtf8)
{
    m_impl->fetch(UrlAddress, Referer, UserAgent, ProxyParams, TimeoutInSec, pageUtf8);
}

void HttpUtil::GetPage(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
    const QStringList* ProxyParams, QString& pageContent)
{
    std::string utf8;
    m_impl->fetch(UrlAddress, Referer, UserAgent, ProxyParams, TimeoutInSec, utf8);
    pageContent = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

const FetchOutcome& HttpUtil::outcome() const
{
    return m_impl->outcome;
}
