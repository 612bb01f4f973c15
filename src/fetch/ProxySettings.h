#pragma once

#include <QString>
#include <QStringList>

// The proxy a fetch goes through, read from the fields buildProxyList makes of one proxies.txt line.
struct ProxySettings {
    bool valid = true; // false: the fields cannot be used and the fetch fails (error says why)
    bool enabled = false; // false: a direct connection
    QString host; // an IPv6 address without its brackets
    int port = 80;
    QString userName;
    QString password;
    bool basicAuth = false; // credentials go out with the first request
    QString error;

    // "http://host:port" for libcurl, with an IPv6 address in brackets.
    QByteArray curlProxyUrl() const;
};

// Null or empty: direct. Otherwise entry 0 host (empty: direct; an IPv6 address bare or in brackets),
// 1 port (empty: 80), 2 user, 3 password;
// fewer than four entries or a port that is not a decimal number from 1 to 65535 make it invalid.
ProxySettings parseProxyParams(const QStringList* params);
