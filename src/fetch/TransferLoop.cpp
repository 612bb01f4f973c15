#include "fetch/TransferLoop.h"

#include "fetch/CurlShare.h"

#include <curl/curl.h>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

namespace
{

// Idle connections kept; above the largest thread count, so that no worker's connection is
// closed to make room for another's.
constexpr long kPooledConnections = 128;

} // namespace

struct TransferLoop::Transfer {
    CURL* easy;
    const Watch* watch;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    Result result;
};

TransferLoop::TransferLoop()
{
    CurlShare::get(); // libcurl's global set-up comes first
    m_multi = curl_multi_init();
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!m_multi || m_epoll < 0 || m_wakeFd < 0)
        return;
    epoll_event ev {};
    ev.events = EPOLLIN;
    ev.data.fd = m_wakeFd;
    bool ok = ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &ev) == 0;
    ok = ok && curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &TransferLoop::onSocket) == CURLM_OK
        && curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this) == CURLM_OK
        && curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &TransferLoop::onTimer) == CURLM_OK
        && curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this) == CURLM_OK
        && curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, kPooledConnections) == CURLM_OK;
    if (!ok)
        return;
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // running() says so; fetches then take the direct way.
    }
}

TransferLoop::~TransferLoop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        wake();
        m_thread.join();
    }
    if (m_multi)
        curl_multi_cleanup(m_multi);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    if (m_epoll >= 0)
        ::close(m_epoll);
}

TransferLoop::Result TransferLoop::perform(CURL* easy, const Watch& watch)
{
    if (!running())
        return {};
    Transfer t { easy, &watch, {}, {}, false, {} };
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return {};
        wasEmpty = m_queue.empty();
        m_queue.push_back(&t);
    }
    // One wake-up for a batch: a non-empty queue already has one under way.
    if (wasEmpty)
        wake();
    std::unique_lock lock(t.mutex);
    t.ended.wait(lock, [&] { return t.done; });
    return t.result;
}

void TransferLoop::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

int TransferLoop::onSocket(CURL*, int socket, int what, void* self, void* socketData)
{
    auto* loop = static_cast<TransferLoop*>(self);
    if (what == CURL_POLL_REMOVE) {
        ::epoll_ctl(loop->m_epoll, EPOLL_CTL_DEL, socket, nullptr);
        return 0;
    }
    epoll_event ev {};
    ev.events = ((what & CURL_POLL_IN) ? EPOLLIN : 0u) | ((what & CURL_POLL_OUT) ? EPOLLOUT : 0u);
    ev.data.fd = socket;
    // The mark on the socket tells whether epoll has it; a number closed and reused may still
    // surprise either way.
    const int op = socketData ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
    if (::epoll_ctl(loop->m_epoll, op, socket, &ev) != 0) {
        if (errno == EEXIST)
            ::epoll_ctl(loop->m_epoll, EPOLL_CTL_MOD, socket, &ev);
        else if (errno == ENOENT)
            ::epoll_ctl(loop->m_epoll, EPOLL_CTL_ADD, socket, &ev);
    }
    if (!socketData)
        curl_multi_assign(loop->m_multi, socket, loop);
    return 0;
}

int TransferLoop::onTimer(CURLM*, long timeoutMs, void* self)
{
    auto* loop = static_cast<TransferLoop*>(self);
    loop->m_curlTimer
        = timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
    return 0;
}

int TransferLoop::waitMs(Clock::time_point now) const
{
    Clock::time_point next = m_curlTimer;
    for (const Transfer* t : m_active)
        next = std::min(next, t->watch->deadline());
    if (next == Clock::time_point::max())
        return -1;
    if (next <= now)
        return 0;
    // Rounded up: waking a fraction of a millisecond early would only mean another wait.
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(next - now).count();
    return int(std::min<long long>((us + 999) / 1000, INT_MAX));
}

void TransferLoop::admitQueued()
{
    std::vector<Transfer*> queued;
    {
        std::lock_guard lock(m_mutex);
        queued.swap(m_queue);
    }
    for (Transfer* t : queued) {
        if (curl_multi_add_handle(m_multi, t->easy) != CURLM_OK) {
            std::lock_guard lock(t->mutex);
            t->result = { End::Done, int(CURLE_FAILED_INIT) };
            t->done = true;
            t->ended.notify_one();
            continue;
        }
        m_active.push_back(t);
    }
}

void TransferLoop::finish(Transfer& t, End end, int code)
{
    m_active.erase(std::find(m_active.begin(), m_active.end(), &t));
    curl_multi_remove_handle(m_multi, t.easy);
    // Under the lock: once done is seen, the waiting thread may return and t is gone.
    std::lock_guard lock(t.mutex);
    t.result = { end, code };
    t.done = true;
    t.ended.notify_one();
}

void TransferLoop::finishMessages()
{
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &queued)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        const CURLcode code = msg->data.result;
        char* data = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &data);
        if (data)
            finish(*reinterpret_cast<Transfer*>(data), End::Done, int(code));
    }
}

void TransferLoop::checkDeadlines(Clock::time_point now)
{
    for (std::size_t i = 0; i < m_active.size();) {
        Transfer* t = m_active[i];
        if (t->watch->deadline() <= now)
            finish(*t, End::Deadline, 0); // takes t out of m_active
        else
            ++i;
    }
}

void TransferLoop::run()
{
    epoll_event events[64];
    int running = 0;
    for (;;) {
        const int n = ::epoll_wait(m_epoll, events, int(std::size(events)), waitMs(Clock::now()));
        bool woken = false;
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == m_wakeFd) {
                std::uint64_t count = 0;
                [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &count, sizeof count);
                woken = true;
                continue;
            }
            const std::uint32_t e = events[i].events;
            const int mask = ((e & EPOLLIN) ? CURL_CSELECT_IN : 0) | ((e & EPOLLOUT) ? CURL_CSELECT_OUT : 0)
                | ((e & (EPOLLERR | EPOLLHUP)) ? CURL_CSELECT_ERR : 0);
            curl_multi_socket_action(m_multi, fd, mask, &running);
        }
        if (woken) {
            {
                std::lock_guard lock(m_mutex);
                if (m_stopping)
                    break;
            }
            admitQueued();
        }
        Clock::time_point now = Clock::now();
        if (m_curlTimer <= now) {
            m_curlTimer = Clock::time_point::max();
            curl_multi_socket_action(m_multi, CURL_SOCKET_TIMEOUT, 0, &running);
            now = Clock::now();
        }
        finishMessages();
        checkDeadlines(now);
    }
    // Nobody may be left waiting.
    while (!m_active.empty())
        finish(*m_active.back(), End::Stopped, 0);
    std::vector<Transfer*> queued;
    {
        std::lock_guard lock(m_mutex);
        queued.swap(m_queue);
    }
    for (Transfer* t : queued) {
        std::lock_guard lock(t->mutex);
        t->result = {};
        t->done = true;
        t->ended.notify_one();
    }
}
