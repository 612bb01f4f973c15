#include "fetch/TransferLoop.h"

#include "fetch/CurlShare.h"

#include <curl/curl.h>

#include <linux/futex.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>

namespace
{

// Idle connections kept; above the largest thread count, so that no worker's connection is
// closed to make room for another's.
constexpr long kPooledConnections = 128;

// A transfer's end is a word its thread sleeps on in the kernel (0 running, 1 ended); the loop
// sets it after its last touch of the transfer and wakes the thread with one system call. With a
// condition variable the woken thread would first wait for the loop to release the mutex.
using EndWord = std::atomic<std::uint32_t>;
static_assert(sizeof(EndWord) == sizeof(std::uint32_t) && EndWord::is_always_lock_free);

void sleepWhileRunning(EndWord& word)
{
    while (word.load(std::memory_order_acquire) == 0)
        ::syscall(SYS_futex, &word, FUTEX_WAIT_PRIVATE, 0u, nullptr, nullptr, 0);
}

// Only the address is used once the word is set: the waiting thread may have returned already.
void setAndWake(EndWord* word)
{
    word->store(1, std::memory_order_release);
    ::syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

} // namespace

struct TransferLoop::Transfer {
    CURL* easy;
    const Watch* watch;
    Result result;
    EndWord ended { 0 };

    void end(Result r)
    {
        result = r;
        setAndWake(&ended);
    }
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
        wake(); // also when awake: it may be on its way to sleep
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
    Transfer t { easy, &watch, {} };
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
    bool wakeLoop = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return {};
        m_queue.push_back(&t);
        // A loop that is awake finds the queue before it sleeps again.
        wakeLoop = m_sleeping && !m_wakePending;
        m_wakePending = m_wakePending || wakeLoop;
    }
    if (wakeLoop)
        wake();
    sleepWhileRunning(t.ended);
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

void TransferLoop::admit(const std::vector<Transfer*>& queued)
{
    for (Transfer* t : queued) {
        if (curl_multi_add_handle(m_multi, t->easy) != CURLM_OK) {
            t->end({ End::Done, int(CURLE_FAILED_INIT) });
            continue;
        }
        m_active.push_back(t);
    }
}

bool TransferLoop::sleepIfIdle()
{
    std::lock_guard lock(m_mutex);
    m_sleeping = m_queue.empty() && !m_stopping;
    return m_sleeping;
}

void TransferLoop::finish(Transfer& t, End end, int code)
{
    if (const auto at = std::find(m_active.begin(), m_active.end(), &t); at != m_active.end())
        m_active.erase(at);
    curl_multi_remove_handle(m_multi, t.easy);
    t.end({ end, code }); // t may be gone from here on
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
    std::vector<Transfer*> queued;
    int running = 0;
    for (;;) {
        // With transfers queued or a stop asked for, only the ready sockets are taken.
        const int timeout = sleepIfIdle() ? waitMs(Clock::now()) : 0;
        const int n = ::epoll_wait(m_epoll, events, int(std::size(events)), timeout);
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
        {
            std::lock_guard lock(m_mutex);
            m_sleeping = false;
            m_wakePending = m_wakePending && !woken;
            if (m_stopping)
                break;
            queued.swap(m_queue);
        }
        admit(queued);
        queued.clear();
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
    {
        std::lock_guard lock(m_mutex);
        queued.swap(m_queue);
    }
    for (Transfer* t : queued)
        t->end({});
}
