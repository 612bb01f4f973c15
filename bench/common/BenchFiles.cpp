#include "BenchFiles.h"

#include <QByteArray>
#include <QFile>

#include <sys/resource.h>

long peakRssMb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

bool writeUrlFile(const QString& path, int lines)
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
    return true;
}
