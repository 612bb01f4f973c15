#include "ui/UrlFileReader.h"

#include "text/FileUtil.h"

#include <QObject>

#include <exception>
#include <memory>

UrlFileReader::~UrlFileReader()
{
    wait();
}

void UrlFileReader::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

void UrlFileReader::read(const QString& path, QObject* receiver, Done done)
{
    wait();
    m_reading = true;
    m_thread = std::thread([this, path, receiver, done = std::move(done)] {
        auto result = std::make_shared<Result>();
        try {
            result->lines = LoadFileToStringList(path);
            ResultsModel rows;
            FillGridFromList(rows, result->lines, ColumnUrl, FieldSeparator, UrlLineFieldCount);
            result->rows = rows.takeRows();
        } catch (const std::exception& e) {
            *result = Result();
            result->error = QString::fromUtf8(e.what());
        }
        QMetaObject::invokeMethod(
            receiver,
            [this, result, done] {
                wait();
                m_reading = false;
                done(*result);
            },
            Qt::QueuedConnection);
    });
}
