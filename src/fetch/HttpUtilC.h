#pragma once

#include "fetch/FetchOutcome.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TransferLoop;

// Downloads web pages over HTTP and HTTPS with one libcurl easy handle. Thread affinity: the one
// worker thread that made it (its handle is lent by that thread and goes back to it). Every failure
// gives an empty page and a normal return; outcome() says why. Each GetPage starts without cookies;
// a later GetPage on the same object, or a later object on the same thread, may reuse a connection.
class HttpUtil
{
public:
    // Larger pages are not taken: 128 MiB.
    static constexpr std::uint64_t DefaultMaxPageBytes = std::uint64_t(128) * 1024 * 1024;
    // One fetch ends after this many times TimeoutInSec in all, however its bytes trickle in.
    static constexpr int OverallBoundFactor = 20;

    // With a transfer loop (which must outlive this object) the transfer runs on the loop's thread
    // while the caller sleeps; without one, on the calling thread.
    explicit HttpUtil(int TimeoutInSeconds, TransferLoop* loop = nullptr);
    ~HttpUtil();
    HttpUtil(const HttpUtil&) = delete;
    HttpUtil& operator=(const HttpUtil&) = delete;

    // ProxyParams: null or empty list = direct; else host, port, user name, password (buildProxyList).
    void GetPage(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
        const QStringList* ProxyParams, QString& pageContent);
    // The same fetch with the decoded page as valid UTF-8.
    void GetPageUtf8(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
        const QStringList* ProxyParams, std::string& pageUtf8);
    // The same fetch without copying the page, for a caller that checks UTF-8 in a pass of its own:
    // with utf8Checked false the bytes are the page in UTF-8 as received, invalid sequences and all
    // (repairedUtf8 gives what GetPageUtf8 would). Valid until this object's next fetch or its end.
    std::string_view GetPageView(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
        const QStringList* ProxyParams, bool& utf8Checked);
    const FetchOutcome& outcome() const;

    // The largest page taken, in bytes (at least 1); a larger one fails with "page larger than ...".
    void setMaxPageBytes(std::uint64_t bytes);
    // The overall bound as a multiple of TimeoutInSec (at least 1); OverallBoundFactor by default.
    void setOverallBoundFactor(int factor);

    // Read limit TimeoutInSec x 1000 ms (the longest wait for incoming data, 0 = none); connect limit
    // one second less (0 = none of ours, negative = every fetch fails at once).
    int TimeoutInSec;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
