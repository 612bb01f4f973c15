#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary folder for one test, with helpers to write fixture files into it.
class TempDir
{
public:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    const QTemporaryDir& dir() const { return m_dir; }

private:
    QTemporaryDir m_dir;
};
