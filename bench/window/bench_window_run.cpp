// A run of many rows through the real main window, offscreen, against an in-process server: how
// long the UI thread takes to answer while the results pour in (p50, p99, max), and the rows/s.
// usage: bench_window_run [ROWS (100000)] [THREADS (8)]
#include "QuietPrompter.h"
#include "UiLatencyProbe.h"
#include "app/Workspace.h"
#include "engine/RunController.h"
#include "ui/MainWindowRules.h"
#include "ui/formMain.h"

#include <httplib.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace
{

// About 6 KB of markup with three addresses, like a small contact page.
std::string makePage()
{
    std::string page = "<!doctype html><html><head><title>Shop</title></head><body>";
    for (int i = 0; i < 60; ++i)
        page += "<div class=\"item\"><a href=\"/catalogue/" + std::to_string(i) + "\">Item " + std::to_string(i)
            + "</a> <span>in stock</span></div>\n";
    page += "<p>sales@shop.example.org, help@shop.example.org, jobs@shop.example.org</p></body></html>";
    return page;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int threads = argc > 2 ? std::atoi(argv[2]) : 8;

    const std::string page = makePage();
    httplib::Server server;
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(1000000);
    server.set_keep_alive_timeout(1);
    server.Get(R"(/p/\d+\.html)", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(page, "text/html; charset=utf-8");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serverThread([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    QTemporaryDir dir;
    const QString urls = dir.filePath(QStringLiteral("urls.txt"));
    {
        QFile f(urls);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        const QByteArray pattern = "||[a-z0-9._%+-]+@[a-z0-9.-]+\\.[a-z]{2,}\r\n";
        for (int r = 0; r < rows; ++r)
            f.write("http://127.0.0.1:" + QByteArray::number(port) + "/p/" + QByteArray::number(r) + ".html"
                + pattern);
    }

    // The resources folder beside the executable, no start pause.
    Workspace workspace(QString(), 0);
    workspace.openLibrary();
    QuietPrompter prompter;
    TTFormMain window(workspace, &prompter, threads);
    window.show();
    window.loadUrlFile(urls);
    while (window.isLoading())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (workspace.rows().rowCount() != rows) {
        std::fprintf(stderr, "loaded %d rows of %d: %s\n", workspace.rows().rowCount(), rows,
            qPrintable(prompter.notices.join(QStringLiteral(" | "))));
        server.stop();
        serverThread.join();
        return 1;
    }

    UiLatencyProbe probe;
    RunSummary summary;
    QObject::connect(&workspace.run(), &RunController::finished, &window, [&](const RunSummary& s) {
        probe.stop();
        summary = s;
        QTimer::singleShot(0, &app, &QApplication::quit);
    });
    const auto uiCpuSeconds = [] {
        rusage self {};
        getrusage(RUSAGE_THREAD, &self);
        return double(self.ru_utime.tv_sec + self.ru_stime.tv_sec)
            + double(self.ru_utime.tv_usec + self.ru_stime.tv_usec) / 1e6;
    };
    double uiCpu = 0;
    QTimer::singleShot(0, &window, [&] {
        uiCpu = uiCpuSeconds();
        probe.start();
        window.ButtonStartClick();
    });
    app.exec();
    uiCpu = uiCpuSeconds() - uiCpu;
    server.stop();
    serverThread.join();

    const UiLatencyProbe::Figures f = probe.figures();
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%d rows, %d threads, %zu-byte pages, %u cores\n", rows, summary.workers, page.size(),
        std::thread::hardware_concurrency());
    std::printf("status bar: %s\n", qPrintable(window.statusBar()->currentMessage()));
    std::printf("rows/s: %.0f\n", rows * 1000.0 / double(std::max<qint64>(summary.elapsedMs, 1)));
    std::printf("UI thread latency over %zu probes: p50 %.2f ms, p99 %.2f ms, max %.1f ms\n", f.samples, f.p50Ms,
        f.p99Ms, f.maxMs);
    std::printf("UI thread CPU time: %.2f s in a run of %.2f s\n", uiCpu, double(summary.elapsedMs) / 1000);
    std::printf("peak RSS: %ld MB\n", usage.ru_maxrss / 1024);
    return summary.fetched == rows && f.p99Ms < 100 ? 0 : 1;
}
