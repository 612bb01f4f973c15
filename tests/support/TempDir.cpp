#include "support/TempDir.h"

#include <QFile>

#include <stdexcept>

QString TempDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString p = path(name);
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write fixture " + p.toStdString());
    return p;
}

QByteArray TempDir::read(const QString& name) const
{
    QFile f(path(name));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path(name).toStdString());
    return f.readAll();
}
