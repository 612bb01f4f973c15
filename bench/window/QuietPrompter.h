#pragma once

#include "ui/Prompter.h"

#include <QStringList>

// A Prompter for benchmarks: notices are kept, the open dialog answers with a fixed file.
class QuietPrompter : public Prompter
{
public:
    QString fileToOpen;
    QStringList notices;

    void message(const QString& text) override { notices.append(text); }
    bool confirm(const QString& text) override
    {
        notices.append(text);
        return false;
    }
    void error(const QString& text) override { notices.append(text); }
    QString openFile(const QString&, const QString&) override { return fileToOpen; }
    QString saveFile(const QString&, const QString&, const QString&) override { return QString(); }
};
