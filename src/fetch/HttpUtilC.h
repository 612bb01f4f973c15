#pragma once

#include "fetch/FetchOutcome.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

// Downloads web pages over HTTP and HTTPS with one libcurl easy handle. Thread affinity: the one
// worker thread that made it. Every failure gives an empty page and a normal return; outcome() says
// why. Each GetPage starts without cookies; a later GetPage on the same object may reuse its
// connection.
class HttpUtil
{
public:
    explicit HttpUtil(int TimeoutInSeconds);
    ~HttpUtil();
    HttpUtil(const HttpUtil&) = delete;
    HttpUtil& operator=(const HttpUtil&) = delete;

    // ProxyParams: null or empty list = direct; else host, port, user name, password (buildProxyList).
    void GetPage(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
        const QStringList* ProxyParams, QString& pageContent);
    // The same fetch with the decoded page as valid UTF-8.
    void GetPageUtf8(const QString& UrlAddress, const QString& Referer, const QString& UserAgent,
        const QStringList* ProxyParams, std::string& pageUtf8);
    const FetchOutcome& outcome() const;

    // Read limit TimeoutInSec x 1000 ms (the longest wait for incoming data, 0 = none); connect limit
    // one second less (0 = none of ours, negative = every fetch fails at once).
    int TimeoutInSec;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
