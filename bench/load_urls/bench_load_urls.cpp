// Loads a generated URL file of N lines (default 1,000,000) into the row store, the way the Load
// button does, and prints the wall time of each step and the process's peak memory.
#include "results/StringGridUtil.h"
#include "text/FileUtil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace
{

long peakRssMb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Written in chunks so that making the file does not inflate the peak memory measured afterwards.
bool writeUrlFile(const QString& path, int lines, qint64& bytesWritten)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    for (int i = 0; i < lines; ++i) {
        chunk += "https://www.example-shop-";
        chunk += QByteArray::number(i % 5000);
        chunk += ".com/catalogue/item/";
        chunk += QByteArray::number(i);
        // A third of the lines carry a pattern, a sixth also a template, as real lists mix them.
        if (i % 3 == 0)
            chunk += "||[a-z0-9._%+-]+@[a-z0-9.-]+\\.[a-z]{2,}";
        if (i % 6 == 0)
            chunk += "||$0";
        chunk += "\r\n";
        if (chunk.size() > (1 << 20) || i + 1 == lines) {
            if (f.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    bytesWritten = f.size();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("urls.txt"));
    qint64 size = 0;
    if (!writeUrlFile(path, lines, size)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
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
