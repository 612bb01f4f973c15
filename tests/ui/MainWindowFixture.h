#pragma once

#include "ScriptedPrompter.h"
#include "app/Workspace.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "ui/formMain.h"

#include <QString>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// A main window over a workspace of its own: the identity lists in a temporary folder, the built
// regex library copied beside them, no start pause, and a scripted Prompter.
class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the window (FormCreate runs); the library is opened first unless withLibrary is false.
    void makeWindow(int processors = 4, bool withLibrary = true);

    template <class T> T* child(const char* name) const
    {
        T* found = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << "no " << name;
        return found;
    }

    // A URL file in the temporary folder; lines joined with CR LF.
    QString urlFile(const QString& name, const QStringList& lines) const;
    // Loads it through ButtonLoad1 and the open dialog; error: a part of the error it must show.
    void load(const QString& path, const QString& error = QString());

    TempDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<Workspace> ws;
    std::unique_ptr<TTFormMain> form;
};

// Runs the event loop until the condition holds or the time is up; returns the condition.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 20000);
