#include "support/TestProxy.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace
{

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string answer(const std::string& status, const std::string& extraHeaders, const std::string& body)
{
    return "HTTP/1.1 " + status + "\r\n" + extraHeaders
        + "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

} // namespace

TestProxy::TestProxy(RawSocketServer::Loopback loopback) :
    m_server([this](RawSocketServer::Connection& c) { handle(c); }, loopback)
{
}

void TestProxy::requireCredentials(const std::string& user, const std::string& password)
{
    const QByteArray pair = QByteArray::fromStdString(user + ":" + password);
    std::lock_guard lock(m_mutex);
    m_expectedAuth = "Basic " + pair.toBase64().toStdString();
}

std::vector<std::string> TestProxy::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::string TestProxy::headerValue(const std::string& head, const std::string& name)
{
    const std::string key = "\r\n" + lowered(name) + ":";
    const size_t at = lowered(head).find(key);
    if (at == std::string::npos)
        return {};
    size_t start = at + key.size();
    const size_t end = head.find("\r\n", start);
    while (start < end && head[start] == ' ')
        ++start;
    return head.substr(start, end - start);
}

void TestProxy::handle(RawSocketServer::Connection& c)
{
    for (;;) {
        const std::string head = c.readHead();
        if (head.empty())
            return;
        std::string expected;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(head);
            expected = m_expectedAuth;
        }
        const size_t sp1 = head.find(' ');
        const size_t sp2 = head.find(' ', sp1 + 1);
        const std::string method = head.substr(0, sp1);
        const std::string target = head.substr(sp1 + 1, sp2 - sp1 - 1);
        if (!expected.empty() && headerValue(head, "Proxy-Authorization") != expected) {
            if (!c.send(answer("407 Proxy Authentication Required", "Proxy-Authenticate: Basic realm=\"test\"\r\n",
                    "credentials required")))
                return;
            continue;
        }
        if (method == "CONNECT") {
            // Only tunnels to this machine; the tests never leave it.
            if (target.rfind("127.0.0.1:", 0) != 0) {
                c.send(answer("403 Forbidden", "", "only 127.0.0.1"));
                return;
            }
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr {};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            addr.sin_port = htons(uint16_t(std::stoi(target.substr(10))));
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
                ::close(fd);
                c.send(answer("502 Bad Gateway", "", "cannot reach " + target));
                return;
            }
            if (c.send("HTTP/1.1 200 Connection established\r\n\r\n"))
                c.relay(fd);
            ::close(fd);
            return;
        }
        if (!c.send(answer("200 OK", "", "proxied " + target)))
            return;
    }
}
