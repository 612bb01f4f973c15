#pragma once

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

typedef void CURL;
typedef void CURLM;

// Carries the transfers of many threads on one libcurl multi handle, driven by one thread of its
// own (epoll and curl_multi_socket_action), so that a thread waiting for its page sleeps instead
// of running a poll loop of its own. The loop's thread is started by the constructor and joined by
// the destructor, which ends the transfers still under way; perform() may be called from any
// number of threads at once, but none may start once the destructor runs. Linux only (epoll, futex).
class TransferLoop
{
public:
    using Clock = std::chrono::steady_clock;

    // What a transfer asks of the loop besides libcurl's own limits.
    class Watch
    {
    public:
        // When the loop should end the transfer unless it has ended by then, asked again at that
        // time (the answer may have moved on); Clock::time_point::max() for never. Called on the
        // loop's thread, like the transfer's libcurl callbacks.
        virtual Clock::time_point deadline() const = 0;

    protected:
        ~Watch() = default;
    };

    enum class End {
        Done, // libcurl ended the transfer: result says how
        Deadline, // the watch's deadline passed first
        Stopped // the loop was destroyed, or could not run at all
    };
    struct Result {
        End end = End::Stopped;
        int code = 0; // the CURLcode when end is Done
    };

    TransferLoop();
    ~TransferLoop();
    TransferLoop(const TransferLoop&) = delete;
    TransferLoop& operator=(const TransferLoop&) = delete;

    // False when the loop could not be set up; every perform() then gives End::Stopped.
    bool running() const { return m_thread.joinable(); }

    // Runs the configured easy handle to its end on the loop's thread and returns then; the
    // calling thread waits without using the CPU. easy's callbacks run on the loop's thread.
    // CURLOPT_PRIVATE belongs to the loop while it runs.
    Result perform(CURL* easy, const Watch& watch);

private:
    struct Transfer;

    void run();
    void wake();
    bool sleepIfIdle();
    void admit(const std::vector<Transfer*>& queued);
    void finish(Transfer& t, End end, int code);
    void finishMessages();
    void checkDeadlines(Clock::time_point now);
    int waitMs(Clock::time_point now) const;

    static int onSocket(CURL* easy, int socket, int what, void* self, void* socketData);
    static int onTimer(CURLM* multi, long timeoutMs, void* self);

    CURLM* m_multi = nullptr;
    int m_epoll = -1;
    int m_wakeFd = -1;

    std::mutex m_mutex; // guards the next four
    std::vector<Transfer*> m_queue; // handed in, not yet added to the multi handle
    bool m_stopping = false;
    bool m_sleeping = false; // the loop waits in epoll_wait, or is about to
    bool m_wakePending = false; // a wake-up is written and not yet read

    // Touched only by the loop's thread.
    std::vector<Transfer*> m_active;
    Clock::time_point m_curlTimer = Clock::time_point::max();

    std::thread m_thread;
};
