#include "ui/Prompter.h"
#include "ScriptedPrompter.h"
#include "ui/BrowserUtil.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(RunCommand, AnErrorEndsTheCommandWithItsTextInTheErrorBox)
{
    ScriptedPrompter prompter;
    prompter.expectError(QStringLiteral("Cannot open file \"x.txt\". No such file or directory"));
    bool after = false;
    EXPECT_FALSE(runCommand(prompter, [&] {
        throw std::runtime_error("Cannot open file \"x.txt\". No such file or directory");
        after = true;
    }));
    EXPECT_FALSE(after);

    prompter.expectError(QStringLiteral("Unknown error"));
    EXPECT_FALSE(runCommand(prompter, [] { throw 42; }));

    // A command that succeeds asks nothing.
    EXPECT_TRUE(runCommand(prompter, [] {}));
    EXPECT_TRUE(prompter.allUsed());
}

TEST(OpenWithShell, GoesThroughTheOpenerSeam)
{
    QList<QUrl> opened;
    setUrlOpener([&](const QUrl& u) {
        opened.append(u);
        return true;
    });
    EXPECT_TRUE(OpenWithShell(QStringLiteral("mailto:support@glimmerpick.example.com?subject=Glimmerpick")));
    EXPECT_TRUE(OpenWithShell(QStringLiteral("https://glimmerpick.example.com/")));
    setUrlOpener(nullptr);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].scheme(), "mailto");
    EXPECT_EQ(opened[1].host(), "glimmerpick.example.com");
}
