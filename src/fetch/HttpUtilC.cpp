#include "fetch/HttpUtilC.h"

#include "fetch/CurlShare.h"
#include "fetch/PageDecoder.h"
#include "fetch/ProxySettings.h"
#include "fetch/TransferLoop.h"
#include "fetch/Utf8Validator.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
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

// libcurl's limit for one header line (CURL_MAX_HTTP_HEADER); it reports a longer one as "Out of memory".
constexpr qsizetype kMaxHeaderLine = 100 * 1024;

// A thread keeps at most this much page buffer between fetches.
constexpr std::size_t kKeptBodyBytes = 64 * 1024 * 1024;

// The multi handle of the calling thread for fetches without a transfer loop, shared by every
// HttpUtil used there (a fetch adds its handle and removes it before it returns): making one costs
// a socket pair and a dozen system calls, which would otherwise be paid once per job.
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

// The easy handle, URL handle and page buffer of a thread, lent to one HttpUtil at a time: a job
// makes a fetcher per row, and a fresh handle per row costs libcurl's set-up and a new buffer.
// Nothing of a fetch survives in it but connections and caches: every fetch resets the options
// and empties the cookie jar.
struct Handles {
    CURL* easy = nullptr;
    CURLU* url = nullptr;
    std::string body;
    // The cookie engine is switched on once per handle. Not with an empty cookie file name: that
    // name stays on a list inside libcurl that curl_easy_reset never frees.
    bool cookieEngineOn = false;

    Handles()
    {
        CURLSH* share = CurlShare::get();
        easy = curl_easy_init();
        url = curl_url();
        // The reset before each fetch keeps the share.
        if (easy && share)
            curl_easy_setopt(easy, CURLOPT_SHARE, share);
    }
    ~Handles()
    {
        curl_url_cleanup(url);
        curl_easy_cleanup(easy);
    }
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;

    static std::unique_ptr<Handles> borrow()
    {
        if (spare())
            return std::move(spare());
        return std::make_unique<Handles>();
    }
    static void giveBack(std::unique_ptr<Handles> h)
    {
        if (spare())
            return; // two fetchers lived on this thread at once; one set is enough
        if (h->body.capacity() > kKeptBodyBytes)
            h->body = std::string();
        h->body.clear();
        spare() = std::move(h);
    }

private:
    static std::unique_ptr<Handles>& spare()
    {
        thread_local std::unique_ptr<Handles> kept;
        return kept;
    }
};

bool hasLineBreakOrNul(const QString& s)
{
    return s.contains(u'\r') || s.contains(u'\n') || s.contains(QChar(0));
}

QString secondsText(long long seconds)
{
    return QStringLiteral("%1 s").arg(seconds);
}

QString bytesText(std::uint64_t bytes)
{
    if (bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

} // namespace

struct HttpUtil::Impl final : TransferLoop::Watch {
    std::unique_ptr<Handles> handles = Handles::borrow();
    CURL* const easy = handles->easy;
    CURLU* const url = handles->url;
    std::string& body = handles->body;
    TransferLoop* const loop;
    FetchOutcome outcome;
    std::string converted; // the page, when its charset needed a conversion
    std::uint64_t maxPageBytes = DefaultMaxPageBytes;
    int overallFactor = OverallBoundFactor;

    // State of the running fetch, touched by libcurl's callbacks (on the loop's thread, if any).
    bool keepBody = false;
    bool outOfMemory = false;
    bool notModified = false;
    bool tooLarge = false;
    bool waitingForData = false; // the read limit runs only while a request waits for its answer
    Clock::time_point lastData;
    Clock::duration readLimit {}; // zero: none
    Clock::time_point overallDeadline;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    explicit Impl(TransferLoop* transferLoop) : loop(transferLoop) { }
    ~Impl() { Handles::giveBack(std::move(handles)); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void fail(FetchOutcome::Kind kind, QString text)
    {
        outcome.kind = kind;
        outcome.text = std::move(text);
    }

    Clock::time_point deadline() const override
    {
        if (readLimit.count() > 0 && waitingForData)
            return std::min(overallDeadline, lastData + readLimit);
        return overallDeadline;
    }

    bool checkUrl(const QString& address);
    bool configure(const QString& referer, const QString& userAgent, const ProxySettings& proxy, int timeoutInSec);
    TransferLoop::Result perform();
    TransferLoop::Result performHere(CURLM* multi);
    void describeFailure(CURLcode rc, bool viaProxy, int timeoutInSec);
    bool fetch(const QString& address, const QString& referer, const QString& userAgent,
        const QStringList* proxyParams, int timeoutInSec);
    std::string_view page(bool& utf8Checked);

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
        if (d->keepBody && length > 0 && std::uint64_t(length) > d->maxPageBytes) {
            // Announced too large: not a byte of it is read.
            d->tooLarge = true;
            return 0;
        }
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
    if (d->body.size() + n > d->maxPageBytes) {
        d->tooLarge = true;
        return 0;
    }
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
    QByteArray bytes = address.toUtf8();
    // Spaces become %20, as browsers send them, also in the query (libcurl would make them '+' there).
    const qsizetype query = bytes.indexOf('?');
    if (query >= 0) {
        const qsizetype fragment = bytes.indexOf('#', query);
        const qsizetype end = fragment < 0 ? bytes.size() : fragment;
        QByteArray inQuery = bytes.mid(query, end - query);
        bytes.replace(query, end - query, inQuery.replace(" ", "%20"));
    }
    // The handle served the thread's earlier fetches: a relative URL would be resolved against theirs.
    curl_url_set(url, CURLUPART_URL, nullptr, 0);
    // A URL without a scheme is not guessed at.
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
    // A typical page in one read instead of several (libcurl's default is 16 KB). Refused, and
    // not needed, while the handle still holds the buffer of an earlier fetch.
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBuffer);

    // Cookies live for one fetch: kept across its redirects, gone before the next.
    if (!handles->cookieEngineOn) {
        // Any cookie line starts the engine; the jar is emptied right below.
        set(CURLOPT_COOKIELIST, "Set-Cookie: glimmerpick=0; domain=invalid");
        handles->cookieEngineOn = ok;
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

TransferLoop::Result HttpUtil::Impl::perform()
{
    if (loop && loop->running())
        return loop->perform(easy, *this);
    CURLM* multi = ThreadMulti::current();
    if (!multi)
        return { TransferLoop::End::Done, int(CURLE_FAILED_INIT) };
    return performHere(multi);
}

// curl_easy_perform's loop, with the read limit measured to the millisecond from the last byte received.
TransferLoop::Result HttpUtil::Impl::performHere(CURLM* multi)
{
    using End = TransferLoop::End;
    if (curl_multi_add_handle(multi, easy) != CURLM_OK)
        return { End::Done, int(CURLE_FAILED_INIT) };
    TransferLoop::Result result { End::Done, int(CURLE_OK) };
    int running = 1;
    while (running) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result.code = int(CURLE_FAILED_INIT);
            break;
        }
        if (!running)
            break;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline() - Clock::now());
        if (left.count() <= 0) {
            result.end = End::Deadline;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, int(std::min<long long>(left.count(), 1000)), nullptr);
    }
    if (result.end == End::Done && result.code == int(CURLE_OK)) {
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy)
                result.code = int(msg->data.result);
        }
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

void HttpUtil::Impl::describeFailure(CURLcode rc, bool viaProxy, int timeoutInSec)
{
    using Kind = FetchOutcome::Kind;
    if (tooLarge)
        return fail(Kind::TooLarge, QStringLiteral("page larger than ") + bytesText(maxPageBytes));
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
    case CURLE_OUT_OF_MEMORY:
        // Not ours (that one is outOfMemory): libcurl says so when a header line passes its limit
        // or the request outgrows its buffer.
        return fail(Kind::Other, QStringLiteral("header line too long"));
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

bool HttpUtil::Impl::fetch(const QString& address, const QString& referer, const QString& userAgent,
    const QStringList* proxyParams, int timeoutInSec)
{
    using Kind = FetchOutcome::Kind;
    using End = TransferLoop::End;
    outcome = FetchOutcome();
    converted = std::string();
    body.clear();
    keepBody = false;
    outOfMemory = false;
    notModified = false;
    tooLarge = false;
    waitingForData = false;
    errorBuffer[0] = '\0';

    if (!easy || !url) {
        fail(Kind::Other, QStringLiteral("network library could not start"));
        return false;
    }
    // Cut short at the NUL, it would be another address.
    if (address.contains(QChar(0))) {
        fail(Kind::Other, QStringLiteral("URL holds a NUL character"));
        return false;
    }
    if (!checkUrl(address))
        return false;
    const ProxySettings proxy = parseProxyParams(proxyParams);
    if (!proxy.valid) {
        fail(Kind::BadProxy, proxy.error);
        return false;
    }
    if (hasLineBreakOrNul(userAgent) || hasLineBreakOrNul(referer)) {
        fail(Kind::Other, QStringLiteral("line break in User-Agent or Referer"));
        return false;
    }
    // Counted in UTF-16 units: at most three bytes each, and far below the limit when it matters.
    if (userAgent.size() > kMaxHeaderLine || referer.size() > kMaxHeaderLine) {
        fail(Kind::Other, QStringLiteral("header line too long"));
        return false;
    }
    // A negative connect limit has expired before the connection starts.
    if (timeoutInSec <= 0) {
        fail(Kind::Timeout, QStringLiteral("timed out after ") + secondsText(0));
        return false;
    }
    if (!configure(referer, userAgent, proxy, timeoutInSec))
        return false;

    const auto overall = std::chrono::seconds(std::int64_t(timeoutInSec) * overallFactor);
    readLimit = std::chrono::seconds(timeoutInSec);
    lastData = Clock::now();
    overallDeadline = lastData + overall;
    const TransferLoop::Result result = perform();

    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    outcome.httpStatus = int(status);
    if (result.end == End::Deadline) {
        if (Clock::now() >= overallDeadline)
            fail(Kind::Timeout, QStringLiteral("stopped after %1 in all").arg(secondsText(overall.count())));
        else
            fail(Kind::Timeout, QStringLiteral("timed out after ") + secondsText(timeoutInSec));
        return false;
    }
    if (result.end == End::Stopped) {
        fail(Kind::Other, QStringLiteral("stopped before the page came"));
        return false;
    }
    const auto rc = CURLcode(result.code);
    if (notModified) {
        fail(Kind::HttpStatus, QStringLiteral("HTTP 304"));
        return false;
    }
    if (rc != CURLE_OK) {
        describeFailure(rc, proxy.enabled, timeoutInSec);
        return false;
    }
    if (status < 200 || status >= 300) {
        if (status == 407 && proxy.enabled)
            fail(Kind::ProxyAuth, QStringLiteral("proxy authentication failed (HTTP 407)"));
        else
            fail(Kind::HttpStatus, QStringLiteral("HTTP %1").arg(status));
        return false;
    }
    return true;
}

std::string_view HttpUtil::Impl::page(bool& utf8Checked)
{
    const char* contentType = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &contentType);
    try {
        return pageUtf8View(
            body, contentType ? std::string_view(contentType) : std::string_view(), converted, utf8Checked);
    } catch (const std::bad_alloc&) {
        fail(FetchOutcome::Kind::Other, QStringLiteral("page too large for memory"));
        utf8Checked = true;
        return {};
    }
}

HttpUtil::HttpUtil(int TimeoutInSeconds, TransferLoop* loop) :
    TimeoutInSec(TimeoutInSeconds), m_impl(std::make_unique<Impl>(loop))
{
}

HttpUtil::~HttpUtil() = default;

std::string_view HttpUtil::GetPageView(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
    const QStringList* ProxyParams, bool& utf8Checked)
{
    utf8Checked = true;
    if (!m_impl->fetch(UrlAddress, Referer, UserAgent, ProxyParams, TimeoutInSec))
        return {};
    return m_impl->page(utf8Checked);
}

void HttpUtil::GetPageUtf8(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
    const QStringList* ProxyParams, std::string& pageUtf8)
{
    pageUtf8.clear();
    bool checked = true;
    const std::string_view text = GetPageView(UrlAddress, Referer, UserAgent, ProxyParams, checked);
    if (!checked && !Utf8Validator::isValid(text))
        pageUtf8 = repairedUtf8(text);
    else
        pageUtf8.assign(text);
}

void HttpUtil::GetPage(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
    const QStringList* ProxyParams, QString& pageContent)
{
    bool checked = true;
    const std::string_view text = GetPageView(UrlAddress, Referer, UserAgent, ProxyParams, checked);
    // fromUtf8 reads invalid sequences as U+FFFD itself.
    pageContent = QString::fromUtf8(text.data(), qsizetype(text.size()));
}

const FetchOutcome& HttpUtil::outcome() const
{
    return m_impl->outcome;
}

void HttpUtil::setMaxPageBytes(std::uint64_t bytes)
{
    m_impl->maxPageBytes = std::max<std::uint64_t>(bytes, 1);
}

void HttpUtil::setOverallBoundFactor(int factor)
{
    m_impl->overallFactor = std::max(factor, 1);
}
