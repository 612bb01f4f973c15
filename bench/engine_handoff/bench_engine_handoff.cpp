// How many rows a second the engine turns around when fetching and matching cost nothing: the
// pool, the queue and the two UI hand-offs of every row, as glimmerpick-cli runs them. Compares
// the Qt hand-off (every view operation on the main thread's event loop) with a hand-off that
// runs the view operations on the calling worker under one mutex.
// usage: bench_engine_handoff [ROWS (200000)] [RUNS (3)]
#include "engine/ModelUiHandOff.h"
#include "engine/RunController.h"
#include "engine/RunSettings.h"
#include "engine/RunTally.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace
{

// The view operations run on whichever thread hands them over, one at a time.
class SerialHandOff : public ModelUiHandOff
{
public:
    void runOnUiThread(const std::function<void()>& procedure) override
    {
        std::lock_guard lock(m_mutex);
        procedure();
    }

private:
    std::recursive_mutex m_mutex;
};

// The UI steps of the real job, without the fetch and the collector.
JobFactory uiStepsOnly(UiHandOff& ui)
{
    return [&ui](int m, RunTally& tally) {
        return Job([&ui, &tally, m] {
            QString url;
            ui.runOnUiThread([&] {
                if (m >= 10)
                    ui.scrollRowToTop(m - 10);
                ui.grid().setCell(m, ColumnMatchesNumber, QStringLiteral("Fetching page..."));
                url = ui.grid().cell(m, ColumnUrl);
                ui.setCompletedText(QString::number(m + 1));
            });
            ++tally.started;
            ui.runOnUiThread([&] {
                ui.grid().setCell(m, ColumnMatchesNumber, QString::number(url.size() % 7));
                ui.grid().setCell(m, ColumnMatches, QStringLiteral("a@b.org||c@d.org||"));
                ui.grid().setOutcome(m, QString());
            });
            ++tally.completed;
        });
    };
}

double rowsPerSecond(ModelUiHandOff& ui, int rows, int threads)
{
    ui.grid().setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        ui.grid().setCell(r, ColumnUrl, QStringLiteral("http://127.0.0.1:8080/p/%1.html").arg(r));
        ui.grid().setCell(r, ColumnRegexPattern, QStringLiteral("x"));
    }
    RunSettings settings;
    settings.ThreadCount = threads;
    RunController controller(ui, settings, uiStepsOnly(ui), 0);
    QEventLoop loop;
    qint64 ms = 0;
    controller.setFinishedHandler([&](const RunSummary& s) {
        ms = std::max<qint64>(s.elapsedMs, 1);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    controller.ButtonStartClick();
    loop.exec();
    return rows * 1000.0 / double(ms);
}

template <typename HandOff> double median(int rows, int threads, int runs)
{
    std::vector<double> v;
    for (int i = 0; i < runs; ++i) {
        HandOff ui;
        v.push_back(rowsPerSecond(ui, rows, threads));
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    std::printf("%d rows, median of %d runs, rows/s through the pool and two hand-offs per row\n", rows, runs);
    std::printf("| threads | Qt blocking hand-off | mutex hand-off |\n|---|---|---|\n");
    for (const int threads : { 1, 8, 32 })
        std::printf("| %d | %.0f | %.0f |\n", threads, median<ModelUiHandOff>(rows, threads, runs),
            median<SerialHandOff>(rows, threads, runs));
    return 0;
}
