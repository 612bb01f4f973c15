// Pages per second of HttpUtil against an in-process keep-alive server on 127.0.0.1, one fetcher
// per page (as a run's jobs do) on the calling thread or through one transfer loop, and one fetcher
// reused, over 1 to 32 threads, with the process's CPU time per page (server included; medians of
// three runs); and the decoding speed of PageDecoder per charset path.
// usage: bench_fetch [pages] [page bytes]
#include "fetch/HttpUtilC.h"
#include "fetch/PageDecoder.h"
#include "fetch/TransferLoop.h"

#include <httplib.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string makePage(size_t bytes)
{
    std::string page = "<html><head><title>bench</title></head><body>";
    while (page.size() + 40 < bytes)
        page += "<p>caf\xC3\xA9 mail someone@example.com</p>\n";
    return page + "</body></html>";
}

double processCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

enum class Mode { PerPage, PerPageThroughLoop, Reused };

struct Figures {
    double pagesPerSecond = -1; // -1: a fetch failed
    double cpuMicrosecondsPerPage = 0;
};

// Runs pages fetches spread over threads.
Figures runOnce(const std::string& url, int pages, int threads, Mode mode)
{
    std::atomic<int> next { 0 }, failed { 0 };
    std::unique_ptr<TransferLoop> loop;
    if (mode == Mode::PerPageThroughLoop)
        loop = std::make_unique<TransferLoop>();
    const double cpu = processCpuSeconds();
    const auto start = Clock::now();
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            const QString address = QString::fromStdString(url);
            std::unique_ptr<HttpUtil> kept;
            std::string page;
            while (next.fetch_add(1) < pages) {
                if (!kept || mode != Mode::Reused)
                    kept = std::make_unique<HttpUtil>(10, loop.get());
                kept->GetPageUtf8(address, QString(), QStringLiteral("bench"), nullptr, page);
                if (!kept->outcome().ok())
                    ++failed;
            }
        });
    }
    for (std::thread& t : pool)
        t.join();
    Figures f;
    f.cpuMicrosecondsPerPage = (processCpuSeconds() - cpu) * 1e6 / pages;
    if (!failed)
        f.pagesPerSecond = pages / secondsSince(start);
    return f;
}

// The median of three runs by pages/s: this machine is shared.
Figures run(const std::string& url, int pages, int threads, Mode mode)
{
    Figures f[3];
    for (Figures& one : f)
        one = runOnce(url, pages, threads, mode);
    std::sort(std::begin(f), std::end(f),
        [](const Figures& a, const Figures& b) { return a.pagesPerSecond < b.pagesPerSecond; });
    return f[1];
}

double decodeMbPerSecond(const std::string& body, const char* contentType)
{
    const int rounds = 200;
    size_t sink = 0;
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        sink += decodePageToUtf8(body, contentType).size();
    const double s = secondsSince(start);
    return sink ? double(body.size()) * rounds / s / 1e6 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int pages = argc > 1 ? std::atoi(argv[1]) : 4000;
    // For profiling one case: bench_fetch PAGES BYTES THREADS MODE (0 per page, 1 loop, 2 reused).
    const int onlyThreads = argc > 3 ? std::atoi(argv[3]) : 0;
    const int onlyMode = argc > 4 ? std::atoi(argv[4]) : -1;
    const size_t pageBytes = argc > 2 ? size_t(std::atol(argv[2])) : 20000;
    const std::string page = makePage(pageBytes);

    httplib::Server server;
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(1000000);
    // A thread per keep-alive connection, for 32 client threads.
    server.new_task_queue = [] { return new httplib::ThreadPool(40); };
    server.Get("/p", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(page, "text/html; charset=utf-8");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serverThread([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/p";

    runOnce(url, 200, 1, Mode::PerPage); // warm-up
    std::printf("%d pages of %zu bytes, %u cores; pages/s and CPU us per page (process, server included)\n\n",
        pages, page.size(), std::thread::hardware_concurrency());
    std::printf(
        "| threads | new HttpUtil per page | the same through one TransferLoop | one HttpUtil per thread |\n"
        "|---|---|---|---|\n");
    for (int threads : { 1, 2, 8, 32 }) {
        if (onlyThreads && threads != onlyThreads)
            continue;
        std::printf("| %d", threads);
        for (Mode mode : { Mode::PerPage, Mode::PerPageThroughLoop, Mode::Reused }) {
            if (onlyMode >= 0 && int(mode) != onlyMode)
                continue;
            const Figures f = run(url, pages, threads, mode);
            std::printf(" | %.0f, %.0f us", f.pagesPerSecond, f.cpuMicrosecondsPerPage);
        }
        std::printf(" |\n");
    }

    std::string latin1 = page, cp1251 = page;
    for (char& c : latin1)
        c = (c == '\xC3') ? '\xE9' : c;
    std::printf("\n| decoding %zu bytes | MB/s |\n|---|---|\n", page.size());
    std::printf("| UTF-8 declared, valid | %.0f |\n", decodeMbPerSecond(page, "text/html; charset=utf-8"));
    std::printf("| no charset (ISO-8859-1) | %.0f |\n", decodeMbPerSecond(latin1, "text/html"));
    std::printf(
        "| meta charset scan + UTF-8 | %.0f |\n", decodeMbPerSecond("<meta charset=utf-8>" + page, "text/html"));
    std::printf("| windows-1251 (iconv) | %.0f |\n", decodeMbPerSecond(cp1251, "text/html; charset=windows-1251"));

    server.stop();
    serverThread.join();
    return 0;
}
