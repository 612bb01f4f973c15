#pragma once

#include <httplib.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

// An HTTP (or, with a certificate, HTTPS) server on 127.0.0.1 and a free port, run on a thread of
// its own for the lifetime of the object. Routes may be added before or after start().
class TestHttpServer
{
public:
    using Handler = httplib::Server::Handler;

    TestHttpServer();
    // HTTPS with a freshly made self-signed certificate; tune may restrict protocol versions or ciphers.
    static std::unique_ptr<TestHttpServer> makeTls(const std::function<void(SSL_CTX&)>& tune = {});
    ~TestHttpServer();

    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    void get(const std::string& pattern, Handler handler);
    // A fixed answer.
    void serve(const std::string& path, std::string body, int status = 200,
        std::string contentType = "text/html; charset=utf-8",
        std::multimap<std::string, std::string> headers = {});
    void redirect(const std::string& path, std::string location, int status = 302);

    // Starts listening; returns the port.
    int start();
    void stop();

    int port() const { return m_port; }
    // "http://127.0.0.1:PORT" (or https), without a trailing slash.
    std::string baseUrl() const;
    httplib::Server& server() { return *m_server; }

private:
    explicit TestHttpServer(std::unique_ptr<httplib::Server> server, bool tls);

    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    bool m_tls = false;
};
