#include "support/RawSocketServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace
{

int boundSocket(int& port, int backlog, bool ipv6 = false)
{
    const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket() failed");
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage storage {};
    socklen_t len = 0;
    if (ipv6) {
        auto* addr = reinterpret_cast<sockaddr_in6*>(&storage);
        addr->sin6_family = AF_INET6;
        addr->sin6_addr = in6addr_loopback;
        len = sizeof *addr;
    } else {
        auto* addr = reinterpret_cast<sockaddr_in*>(&storage);
        addr->sin_family = AF_INET;
        addr->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        len = sizeof *addr;
    }
    auto* addr = reinterpret_cast<sockaddr*>(&storage);
    if (::bind(fd, addr, len) != 0 || (backlog >= 0 && ::listen(fd, backlog) != 0)
        || ::getsockname(fd, addr, &len) != 0) {
        ::close(fd);
        throw std::runtime_error(
            ipv6 ? "could not bind a test socket to ::1" : "could not bind a test socket to 127.0.0.1");
    }
    port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                      : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    return fd;
}

int connectTo(int port, bool nonBlocking)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && !nonBlocking) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string RawSocketServer::Connection::readHead()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return {};
        pollfd fds[2] = { { m_fd, POLLIN, 0 }, { m_stopFd, POLLIN, 0 } };
        if (::poll(fds, 2, int(left.count())) <= 0 || fds[1].revents)
            return {};
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0)
            return {};
        head.append(buf, size_t(n));
    }
    const size_t end = head.find("\r\n\r\n") + 4;
    m_pending = head.substr(end);
    head.resize(end);
    return head;
}

bool RawSocketServer::Connection::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

bool RawSocketServer::Connection::pause(int ms)
{
    pollfd fds[2] = { { m_fd, POLLRDHUP, 0 }, { m_stopFd, POLLIN, 0 } };
    return ::poll(fds, 2, ms) == 0;
}

void RawSocketServer::Connection::relay(int otherFd)
{
    if (!m_pending.empty() && ::send(otherFd, m_pending.data(), m_pending.size(), MSG_NOSIGNAL) < 0)
        return;
    char buf[16384];
    for (;;) {
        pollfd fds[3] = { { m_fd, POLLIN, 0 }, { otherFd, POLLIN, 0 }, { m_stopFd, POLLIN, 0 } };
        if (::poll(fds, 3, 10000) <= 0 || fds[2].revents)
            return;
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            const ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
            if (n <= 0 || ::send(fds[1 - i].fd, buf, size_t(n), MSG_NOSIGNAL) != n)
                return;
        }
    }
}

RawSocketServer::RawSocketServer(Handler handler, Loopback loopback) : m_handler(std::move(handler))
{
    m_listenFd = boundSocket(m_port, 16, loopback == Loopback::Ipv6);
    m_stopFd = ::eventfd(0, EFD_CLOEXEC);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

RawSocketServer::~RawSocketServer()
{
    stop();
}

std::string RawSocketServer::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void RawSocketServer::acceptLoop()
{
    for (;;) {
        pollfd fds[2] = { { m_listenFd, POLLIN, 0 }, { m_stopFd, POLLIN, 0 } };
        if (::poll(fds, 2, -1) < 0 || fds[1].revents)
            return;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_connections;
        std::lock_guard lock(m_mutex);
        m_workers.emplace_back([this, fd] {
            Connection c(fd, m_stopFd);
            m_handler(c);
            ::close(fd);
        });
    }
}

void RawSocketServer::stop()
{
    if (!m_acceptThread.joinable())
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof one);
    m_acceptThread.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (std::thread& t : workers)
        t.join();
    ::close(m_listenFd);
    ::close(m_stopFd);
}

FullBacklogListener::FullBacklogListener()
{
    m_listenFd = boundSocket(m_port, 0);
    // A backlog of 0 still queues one connection; a few more make sure the queue is full.
    for (int i = 0; i < 3; ++i)
        m_fillers.push_back(connectTo(m_port, true));
    // Let the handshakes of the fillers finish so the queue counts them.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

FullBacklogListener::~FullBacklogListener()
{
    for (int fd : m_fillers)
        ::close(fd);
    ::close(m_listenFd);
}

int closedPort()
{
    int port = 0;
    ::close(boundSocket(port, -1));
    return port;
}
