// How many rows a second the engine turns around when fetching costs nothing: the pool, the queue,
// the run channel and the batched delivery into the row store on the main thread's event loop.
// Two jobs: the real per-row job on URLs without a scheme (its fetch fails at once, so it still
// makes its client, draws its identity and runs the collector on an empty page), and the job's two
// steps alone (row begun, row finished).
// usage: bench_engine_handoff [ROWS (200000)] [RUNS (3)]
#include "engine/RunChannel.h"
#include "engine/RunController.h"
#include "engine/RunSettings.h"
#include "engine/UrlJob.h"
#include "fetch/IdentityLists.h"
#include "results/StringGridUtil.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{

JobFactory stepsOnly()
{
    return [](int m, RunChannel& run) {
        return Job([&run, m] {
            const RowInput in = run.rowStarted(m);
            run.rowFinished({ m, int(in.url.size() % 7), QStringLiteral("a@b.org||c@d.org||"), QString(), {} });
        });
    };
}

double rowsPerSecond(bool realJob, int rows, int threads)
{
    ResultsModel grid;
    grid.setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        grid.setCell(r, ColumnUrl, QStringLiteral("127.0.0.1:8080/p/%1.html").arg(r));
        grid.setCell(r, ColumnRegexPattern, QStringLiteral("x"));
    }
    RunSettings settings;
    settings.ThreadCount = threads;
    IdentityLists lists;
    RunController controller(grid, settings, realJob ? urlJobFactory({ settings, lists }) : stepsOnly(), 0);
    QEventLoop loop;
    qint64 ms = 0;
    QObject::connect(&controller, &RunController::finished, &loop, [&](const RunSummary& s) {
        ms = std::max<qint64>(s.elapsedMs, 1);
        loop.quit();
    });
    controller.ButtonStartClick();
    loop.exec();
    return rows * 1000.0 / double(ms);
}

double median(bool realJob, int rows, int threads, int runs)
{
    std::vector<double> v;
    for (int i = 0; i < runs; ++i)
        v.push_back(rowsPerSecond(realJob, rows, threads));
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    std::printf("%d rows, median of %d runs, rows/s through the pool and the batched delivery\n", rows, runs);
    std::printf("| threads | real job, no fetch | job steps only |\n|---|---|---|\n");
    for (const int threads : { 1, 8, 32 })
        std::printf("| %d | %.0f | %.0f |\n", threads, median(true, rows, threads, runs),
            median(false, rows, threads, runs));
    return 0;
}
