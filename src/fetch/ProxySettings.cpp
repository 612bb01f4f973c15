#include "fetch/ProxySettings.h"

namespace
{

ProxySettings invalid(QString error)
{
    ProxySettings s;
    s.valid = false;
    s.error = std::move(error);
    return s;
}

bool isIpv6Literal(const QString& host)
{
    for (const QChar c : host) {
        if (!(c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F') || c == u':' || c == u'.'))
            return false;
    }
    return host.contains(u':');
}

// Characters that would turn the host into other parts of the proxy URL (user, path, port).
bool isSafeHost(const QString& host)
{
    for (const QChar c : host) {
        if (c.unicode() <= 32 || c.unicode() == 127 || QStringView(u"/\\?#@[]%\"<>").contains(c))
            return false;
    }
    return true;
}

} // namespace

QByteArray ProxySettings::curlProxyUrl() const
{
    const QByteArray h = host.toUtf8();
    return "http://" + (h.contains(':') ? '[' + h + ']' : h) + ':' + QByteArray::number(port);
}

ProxySettings parseProxyParams(const QStringList* params)
{
    if (!params || params->isEmpty())
        return {};
    if (params->size() < 4)
        return invalid(QStringLiteral("incomplete proxy entry (%1 of 4 fields)").arg(params->size()));

    const QString& host = params->at(0);
    const QString& portText = params->at(1);
    ProxySettings s;
    // The port is checked even for a direct line, as the line is read whole.
    if (!portText.isEmpty()) {
        bool digitsOnly = portText.size() <= 5;
        for (const QChar c : portText)
            digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
        const int port = digitsOnly ? portText.toInt() : 0;
        if (port < 1 || port > 65535)
            return invalid(QStringLiteral("bad proxy port \"%1\"").arg(portText));
        s.port = port;
    }
    if (host.isEmpty())
        return s;
    // "[::1]" as in a URL: the address inside must be IPv6.
    const bool bracketed = host.startsWith(u'[') && host.endsWith(u']');
    const QString address = bracketed ? host.mid(1, host.size() - 2) : host;
    if (address.isEmpty() || !isSafeHost(address) || (address.contains(u':') && !isIpv6Literal(address))
        || (bracketed && !address.contains(u':')))
        return invalid(QStringLiteral("bad proxy host \"%1\"").arg(host));

    s.enabled = true;
    s.host = address;
    s.userName = params->at(2);
    s.password = params->at(3);
    s.basicAuth = !s.userName.isEmpty();
    return s;
}
