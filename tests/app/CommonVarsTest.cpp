#include "app/CommonVarsC.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

TEST(CommonVars, ConstantsAndFoldersFromExecutablePath)
{
    const QString sep = QDir::separator();
    const CommonVars v(QDir::toNativeSeparators(QStringLiteral("/opt/gp/bin/glimmerpick")));
    EXPECT_EQ(v.SOFTWAREVERSION, QStringLiteral("1.0.0"));
    EXPECT_EQ(v.SOFTWARENAME, QStringLiteral("Morvantis Glimmerpick"));
    EXPECT_TRUE(v.MAINFORMCAPTION.endsWith(QStringLiteral(" Glimmerpick V1.0.0")));
    EXPECT_FALSE(v.MAINFORMCAPTION.startsWith(QStringLiteral(" ")));
    EXPECT_TRUE(v.SUPPORTMAIL.contains(QStringLiteral("@")));
    EXPECT_EQ(v.MAINDIR, QDir::toNativeSeparators(QStringLiteral("/opt/gp/bin/")));
    EXPECT_EQ(v.RESOURCESDIR, v.MAINDIR + QStringLiteral("resources") + sep);
}

TEST(CommonVars, RunningExecutableWhateverTheWorkingFolder)
{
    const QString before = QDir::currentPath();
    QDir::setCurrent(QDir::tempPath());
    const CommonVars v;
    QDir::setCurrent(before);
    const QString exe = QFileInfo(executableFilePath()).absolutePath();
    EXPECT_EQ(v.MAINDIR, QDir::toNativeSeparators(exe) + QDir::separator());
    // The build puts the resources folder beside every executable, test programs included.
    EXPECT_TRUE(QFileInfo::exists(v.RESOURCESDIR + QStringLiteral("referers.txt")))
        << v.RESOURCESDIR.toStdString();
}
