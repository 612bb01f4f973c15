// Loads a generated URL file of N lines (default 1,000,000) into the row store, the way the Load
// button does, and prints the wall time of each step and the process's peak memory.
#include "BenchFiles.h"
#include "results/StringGridUtil.h"
#include "text/FileUtil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("urls.txt"));
    if (!writeUrlFile(path, lines)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    const qint64 size = QFile(path).size();
    std::printf("file: %d lines, %.1f MB\n", lines, double(size) / 1e6);
    const long baseMb = peakRssMb();

    QElapsedTimer total;
    total.start();
    QElapsedTimer step;
    step.start();
    const QStringList list = LoadFileToStringList(path);
    const qint64 readMs = step.restart();

    ResultsModel grid;
    ClearGridColumn(grid, 0);
    FillGridFromList(grid, list, 0, QStringLiteral("||"), 3);
    const qint64 fillMs = step.elapsed();
    const qint64 totalMs = total.elapsed();

    std::printf("rows: %d\n", grid.rowCount());
    std::printf("LoadFileToStringList: %lld ms\nFillGridFromList: %lld ms\ntotal: %lld ms\n", (long long)readMs,
        (long long)fillMs, (long long)totalMs);
    std::printf("peak RSS: %ld MB (%ld MB before loading)\n", peakRssMb(), baseMb);
    return grid.rowCount() == lines ? 0 : 1;
}
