#include "support/TestHttpServer.h"

#include <chrono>
#include <stdexcept>

TestHttpServer::TestHttpServer() : TestHttpServer(std::make_unique<httplib::Server>(), false) { }

TestHttpServer::TestHttpServer(std::unique_ptr<httplib::Server> server, bool tls) :
    m_server(std::move(server)), m_tls(tls)
{
    m_server->set_keep_alive_max_count(100);
    // Headers and body leave in separate writes; without this, Nagle and delayed ACKs add 40 ms to each answer.
    m_server->set_tcp_nodelay(true);
}

namespace
{

// One self-signed certificate per test process, made in memory: no openssl process to fork, which
// also keeps ThreadSanitizer runs clean.
struct TestCertificate {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    TestCertificate()
    {
        key = EVP_RSA_gen(2048);
        cert = X509_new();
        if (!key || !cert)
            return;
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), 0);
        X509_gmtime_adj(X509_getm_notAfter(cert), 24L * 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(
            name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        if (X509_sign(cert, key, EVP_sha256()) == 0) {
            X509_free(cert);
            cert = nullptr;
        }
    }
};

} // namespace

std::unique_ptr<TestHttpServer> TestHttpServer::makeTls(const std::function<void(SSL_CTX&)>& tune)
{
    static const TestCertificate certificate;
    if (!certificate.key || !certificate.cert)
        throw std::runtime_error("could not make a test certificate");
    auto server = std::make_unique<httplib::SSLServer>(certificate.cert, certificate.key);
    if (!server->is_valid())
        throw std::runtime_error("TLS test server could not load its certificate");
    if (tune)
        tune(*server->ssl_context());
    return std::unique_ptr<TestHttpServer>(new TestHttpServer(std::move(server), true));
}

TestHttpServer::~TestHttpServer()
{
    stop();
}

void TestHttpServer::get(const std::string& pattern, Handler handler)
{
    m_server->Get(pattern, std::move(handler));
}

void TestHttpServer::serve(const std::string& path, std::string body, int status, std::string contentType,
    std::multimap<std::string, std::string> headers)
{
    get(path, [=](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        for (const auto& [k, v] : headers)
            res.set_header(k, v);
        res.set_content(body, contentType.c_str());
    });
}

void TestHttpServer::redirect(const std::string& path, std::string location, int status)
{
    get(path, [=](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_header("Location", location);
    });
}

int TestHttpServer::start()
{
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("test server could not bind to 127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // The socket already listens after bind; wait (bounded) until the loop accepts.
    for (int i = 0; i < 5000 && !m_server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return m_port;
}

void TestHttpServer::stop()
{
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

std::string TestHttpServer::baseUrl() const
{
    return std::string(m_tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port);
}
