#pragma once

#include "support/RawSocketServer.h"

#include <mutex>
#include <string>
#include <vector>

// An HTTP proxy on 127.0.0.1 (or ::1). It answers absolute-URI requests itself with the body
// "proxied <request target>" and tunnels CONNECT to a port on 127.0.0.1. With credentials
// required, a request without the matching Basic Proxy-Authorization gets 407.
class TestProxy
{
public:
    explicit TestProxy(RawSocketServer::Loopback loopback = RawSocketServer::Loopback::Ipv4);
    void requireCredentials(const std::string& user, const std::string& password);
    int port() const { return m_server.port(); }
    // Every request head received, in order.
    std::vector<std::string> requests() const;

    // The value of a header in a request head ("" when absent), name compared without case.
    static std::string headerValue(const std::string& head, const std::string& name);

private:
    void handle(RawSocketServer::Connection& c);

    mutable std::mutex m_mutex;
    std::string m_expectedAuth;
    std::vector<std::string> m_requests;
    RawSocketServer m_server; // last: its threads use the members above
};
