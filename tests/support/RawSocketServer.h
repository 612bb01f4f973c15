#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A TCP server on 127.0.0.1 (or ::1) and a free port that runs a scripted handler per connection, each on a
// thread of its own: for answers no HTTP library gives (stalls, drips, broken replies, proxies).
// Every wait is bounded and ends early when the peer closes or the server stops.
class RawSocketServer
{
public:
    class Connection
    {
    public:
        Connection(int fd, int stopFd) : m_fd(fd), m_stopFd(stopFd) { }
        // The request head up to its blank line; empty when the peer closed or 5 s passed first.
        std::string readHead();
        bool send(std::string_view bytes);
        // Waits ms; false as soon as the peer closes or the server stops.
        bool pause(int ms);
        // Copies bytes both ways between this connection and another socket until one side closes.
        void relay(int otherFd);
        int fd() const { return m_fd; }

    private:
        int m_fd;
        int m_stopFd;
        std::string m_pending; // read past the head
    };
    using Handler = std::function<void(Connection&)>;

    // Ipv6 listens on ::1 instead, for clients that must reach a server by an IPv6 address;
    // throws when the machine has no IPv6 loopback.
    enum class Loopback { Ipv4, Ipv6 };
    explicit RawSocketServer(Handler handler, Loopback loopback = Loopback::Ipv4);
    ~RawSocketServer();
    RawSocketServer(const RawSocketServer&) = delete;
    RawSocketServer& operator=(const RawSocketServer&) = delete;

    int port() const { return m_port; }
    std::string baseUrl() const; // "http://127.0.0.1:PORT"
    int connections() const { return m_connections.load(); }
    void stop();

private:
    void acceptLoop();

    Handler m_handler;
    int m_listenFd = -1;
    int m_stopFd = -1;
    int m_port = 0;
    std::atomic<int> m_connections { 0 };
    std::thread m_acceptThread;
    std::mutex m_mutex;
    std::vector<std::thread> m_workers;
};

// A port on 127.0.0.1 whose backlog is full and which never accepts: a connection attempt hangs
// until the client gives up, as with a host that drops the packets.
class FullBacklogListener
{
public:
    FullBacklogListener();
    ~FullBacklogListener();
    FullBacklogListener(const FullBacklogListener&) = delete;
    FullBacklogListener& operator=(const FullBacklogListener&) = delete;
    int port() const { return m_port; }

private:
    int m_listenFd = -1;
    std::vector<int> m_fillers;
    int m_port = 0;
};

// A port on 127.0.0.1 on which nothing listens (bound once, then closed).
int closedPort();
