#include "MainWindowFixture.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTimer>

void MainWindowFixture::SetUp()
{
    ASSERT_TRUE(dir.dir().isValid());
    dir.write(QStringLiteral("proxies.txt"), QByteArray());
    dir.write(QStringLiteral("referers.txt"), "https://referer.example/\r\n");
    dir.write(QStringLiteral("user_agents.txt"), "GlimmerpickTest/1.0\r\n");
    const QString db = QStringLiteral(GLIMMERPICK_BIN_DIR "/resources/data.db");
    ASSERT_TRUE(QFile::copy(db, dir.path(QStringLiteral("data.db")))) << "cannot copy " << db.toStdString();
}

void MainWindowFixture::TearDown()
{
    form.reset();
    ws.reset();
}

void MainWindowFixture::makeWindow(int processors, bool withLibrary)
{
    ws = std::make_unique<Workspace>(dir.dir().path(), 0);
    if (withLibrary)
        ws->openLibrary();
    form = std::make_unique<TTFormMain>(*ws, &prompter, processors);
}

QString MainWindowFixture::urlFile(const QString& name, const QStringList& lines) const
{
    return dir.write(name, lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
}

void MainWindowFixture::load(const QString& path, const QString& error)
{
    prompter.expectOpenFile(path);
    if (!error.isEmpty())
        prompter.expectError(error);
    child<QPushButton>("ButtonLoad1")->click();
    EXPECT_TRUE(waitFor([this] { return !form->isLoading(); })) << "the file was not read: " << path.toStdString();
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return condition();
}
