// Loads a generated URL file of N lines (default 1,000,000) into the real main window, offscreen,
// through the Load button: the time until the grid has painted the new rows, how long the UI thread
// takes to answer meanwhile (its longest hold), scrolling the loaded grid, peak memory.
// usage: bench_window_load [LINES (1000000)]
#include "BenchFiles.h"
#include "QuietPrompter.h"
#include "UiLatencyProbe.h"
#include "app/Workspace.h"
#include "results/StringGridUtil.h"
#include "text/FileUtil.h"
#include "ui/formMain.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace
{

// Counts the paints of a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("urls.txt"));
    if (!writeUrlFile(path, lines))
        return 1;

    Workspace workspace(QString(), 0);
    workspace.openLibrary();
    QuietPrompter prompter;
    prompter.fileToOpen = path;
    TTFormMain window(workspace, &prompter);
    window.show();
    auto* grid = window.findChild<QAbstractItemView*>(QStringLiteral("StringGrid1"));
    PaintCounter painted;
    grid->viewport()->installEventFilter(&painted);
    QApplication::processEvents();
    const long baseMb = peakRssMb();

    // One load through the Load button: from the click until the grid has painted the new rows, with
    // the UI thread's answer times meanwhile.
    struct LoadFigures {
        qint64 shownMs = 0;
        UiLatencyProbe::Figures latency;
    };
    const auto loadOnce = [&] {
        LoadFigures figures;
        UiLatencyProbe probe;
        QEventLoop loop;
        QElapsedTimer clock;
        bool arrived = false;
        const QMetaObject::Connection reset
            = QObject::connect(&workspace.rows(), &QAbstractItemModel::modelReset, &loop, [&] {
                  arrived = workspace.rows().rowCount() == lines;
                  painted.paints = 0;
              });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (arrived && painted.paints > 0) {
                figures.shownMs = clock.elapsed();
                loop.quit();
            }
        });
        probe.start();
        QTimer::singleShot(50, &loop, [&] {
            clock.start();
            window.ButtonLoad1Click();
            poll.start(1);
        });
        loop.exec();
        probe.stop();
        QObject::disconnect(reset);
        figures.latency = probe.figures();
        return figures;
    };
    const LoadFigures first = loadOnce();
    const long peakMb = peakRssMb();
    const LoadFigures again = loadOnce();

    // Scrolling the loaded grid: jump to the end, then anywhere in it, painting every step.
    painted.paints = 0;
    QElapsedTimer scroll;
    scroll.start();
    grid->scrollToBottom();
    grid->viewport()->repaint();
    const double toEndMs = double(scroll.nsecsElapsed()) / 1e6;
    const int jumps = 200;
    scroll.restart();
    for (int i = 0; i < jumps; ++i) {
        grid->verticalScrollBar()->setValue(int(qint64(i) * grid->verticalScrollBar()->maximum() / jumps));
        grid->viewport()->repaint();
    }
    const double perJumpMs = double(scroll.nsecsElapsed()) / 1e6 / jumps;
    const int scrollPaints = painted.paints;

    // The core's two steps on their own, without a view, for comparison.
    QElapsedTimer step;
    step.start();
    const QStringList list = LoadFileToStringList(path);
    const qint64 readMs = step.restart();
    ResultsModel bare;
    FillGridFromList(bare, list, ColumnUrl, FieldSeparator, UrlLineFieldCount);
    const qint64 fillMs = step.elapsed();

    std::printf("%d lines, %d rows in the grid\n", lines, workspace.rows().rowCount());
    for (const auto& [what, f] :
        { std::pair("into the empty grid", first), std::pair("replacing those rows", again) })
        std::printf("load %s: click to the grid painted %lld ms; UI thread answers over %zu probes: p50 %.2f ms, "
                    "p99 %.1f ms, max %.1f ms\n",
            what, (long long)f.shownMs, f.latency.samples, f.latency.p50Ms, f.latency.p99Ms, f.latency.maxMs);
    std::printf("  the core's steps alone: read %lld ms, fill a model without a view %lld ms\n", (long long)readMs,
        (long long)fillMs);
    std::printf("scroll to the end and paint: %.2f ms; a jump and paint anywhere: %.2f ms (%d paints)\n", toEndMs,
        perJumpMs, scrollPaints);
    std::printf("peak RSS of the window with the rows: %ld MB (%ld MB before loading)\n", peakMb, baseMb);
    return workspace.rows().rowCount() == lines ? 0 : 1;
}
