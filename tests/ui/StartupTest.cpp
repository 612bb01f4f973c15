// The program itself: a start-up failure ends it with 1 and names the file; a normal start loads a
// URL file, runs it against a local server and saves a picture of the window.
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace
{

struct Outcome {
    int exitCode = -1;
    QString err;
};

// Runs the program offscreen, at most 60 s; kills it by its PID when it does not end.
Outcome runProgram(const QStringList& args, const QProcessEnvironment& env)
{
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(GLIMMERPICK_BIN_DIR "/glimmerpick"), args);
    Outcome out;
    if (!program.waitForStarted(10000)) {
        ADD_FAILURE() << "glimmerpick did not start: " << program.errorString().toStdString();
        return out;
    }
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished(5000);
        ADD_FAILURE() << "glimmerpick did not end within 60 s; stderr: "
                      << program.readAllStandardError().toStdString();
        return out;
    }
    out.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    out.err = QString::fromUtf8(program.readAllStandardError());
    return out;
}

QProcessEnvironment offscreen()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// A resources folder with the library and every identity list but the ones left out.
void writeResources(const TempDir& dir, const QStringList& leaveOut = {})
{
    for (const char* name : { "proxies.txt", "referers.txt", "user_agents.txt" })
        if (!leaveOut.contains(QLatin1String(name)))
            dir.write(QLatin1String(name), "x\r\n");
    ASSERT_TRUE(QFile::copy(QStringLiteral(GLIMMERPICK_BIN_DIR "/resources/data.db"), dir.path("data.db")));
}

} // namespace

TEST(Startup, AMissingIdentityFileEndsTheProgramWithItsName)
{
    TempDir res;
    writeResources(res, { "referers.txt" });
    const Outcome offscreenRun = runProgram({ "--resources", res.dir().path() }, offscreen());
    EXPECT_EQ(offscreenRun.exitCode, 1) << offscreenRun.err.toStdString();
    EXPECT_TRUE(offscreenRun.err.contains(res.path("referers.txt"))) << offscreenRun.err.toStdString();

    // With no display at all the same text goes to standard error.
    QProcessEnvironment noDisplay = offscreen();
    for (const char* name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
        noDisplay.remove(QLatin1String(name));
    const Outcome headless = runProgram({ "--resources", res.dir().path() }, noDisplay);
    EXPECT_EQ(headless.exitCode, 1) << headless.err.toStdString();
    EXPECT_TRUE(headless.err.contains(res.path("referers.txt"))) << headless.err.toStdString();

    // The library comes first: without it, it is the one named.
    TempDir noLibrary;
    for (const char* name : { "proxies.txt", "user_agents.txt" })
        noLibrary.write(QLatin1String(name), "x\r\n");
    const Outcome library = runProgram({ "--resources", noLibrary.dir().path() }, offscreen());
    EXPECT_EQ(library.exitCode, 1) << library.err.toStdString();
    EXPECT_TRUE(library.err.contains("data.db")) << library.err.toStdString();
}

TEST(Startup, RunsAUrlFileAndSavesThePicture)
{
    TestHttpServer server;
    server.serve("/p.html", "<p>a@x.org b@y.org</p>");
    server.start();
    TempDir res;
    writeResources(res);
    const QString urls = res.write("urls.txt",
        QByteArray::fromStdString(server.baseUrl()) + "/p.html||[a-z]+@[a-z]+\\.org\r\n"
            + QByteArray::fromStdString(server.baseUrl()) + "/gone.html||x\r\n");
    const QString picture = res.path("window.png");
    const Outcome run = runProgram(
        { "--resources", res.dir().path(), "--load", urls, "--run", "--screenshot", picture }, offscreen());
    server.stop();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Extraction terminated")) << run.err.toStdString();
    const QImage image(picture);
    EXPECT_GE(image.width(), 733) << run.err.toStdString();
    EXPECT_GE(image.height(), 618);
}
