// Runs from the main window against a local server: the running state, counts, tooltips, the
// muted failed rows, the summary, Abort, the refusals, and closing during a run.
#include "MainWindowFixture.h"
#include "engine/RunController.h"
#include "engine/UrlJob.h"
#include "results/StringGridUtil.h"
#include "support/TestHttpServer.h"
#include "ui/FailedRowDelegate.h"
#include "ui/MainWindowRules.h"
#include "ui/ResultsGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace
{

const char* const Email = "[a-z]+@[a-z]+\\.org";

class MainWindowRun : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        server.serve("/two.html", "<p>a@x.org and b@y.org</p>");
        server.serve("/none.html", "<p>nothing here</p>");
        // Holds its answer until the test lets it go (bounded, so a failing test still ends).
        server.get("/slow.html", [this](const httplib::Request&, httplib::Response& res) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!release && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            res.set_content("<p>slow@x.org</p>", "text/html");
        });
        // The fetcher keeps idle connections; a short keep-alive lets stop() end quickly.
        server.server().set_keep_alive_timeout(1);
        server.start();
    }

    void TearDown() override
    {
        release = true;
        MainWindowFixture::TearDown();
        server.stop();
    }

    QString url(const char* path, const char* pattern = Email) const
    {
        return QString::fromStdString(server.baseUrl()) + QLatin1String(path) + QStringLiteral("||")
            + QLatin1String(pattern);
    }

    bool ended()
    {
        return waitFor([this] { return !ws->run().isRunning(); });
    }
    QString label(const char* name) const { return child<QLabel>(name)->text(); }
    QString statusText() const { return form->statusBar()->currentMessage(); }

    TestHttpServer server;
    std::atomic<bool> release { false };
};

} // namespace

TEST_F(MainWindowRun, WholeRunShowsCountsOutcomesAndTheSummary)
{
    // One worker, so the rows start in order and "Urls processed" ends at the last one.
    makeWindow(1);
    load(urlFile("urls.txt", { url("/two.html"), url("/none.html"), url("/gone.html") }));
    ws->rows().setCell(1, ColumnMatchesNumber, "stale");

    // The running state as the run starts.
    std::vector<std::pair<std::string, bool>> atStart;
    QObject::connect(&ws->run(), &RunController::runStarted, form.get(), [&] {
        for (const char* name : { "ButtonStart", "ButtonAbort", "ButtonClear1", "ButtonClear2", "ButtonLoad1",
                 "ComboBoxRegex", "ButtonExport", "TextField1", "ButtonApplyRegex", "ComboTrackBarNumberThreads",
                 "ComboTrackBarTimeoutThreads", "ChkEnableProxies", "ChkRemoveDuplicated", "StringGrid1" })
            atStart.emplace_back(name, child<QWidget>(name)->isEnabled());
        atStart.emplace_back("progress", child<QProgressBar>("ProgressBarRun")->isVisibleTo(form.get()));
        atStart.emplace_back("menu", form->findChild<QAction*>("MenuItemExit")->isEnabled());
    });

    prompter.expectMessage("Extraction terminated");
    auto* start = child<QPushButton>("ButtonStart");
    start->click();
    // Disabled inside its own handler: a second start does nothing and asks nothing.
    EXPECT_FALSE(start->isEnabled());
    form->ButtonStartClick();
    EXPECT_EQ(label("LabelCompleted"), "0");
    EXPECT_EQ(ws->rows().cell(1, ColumnMatchesNumber), "");
    ASSERT_TRUE(ended()) << prompter.asked.join(" | ").toStdString();

    const std::vector<std::pair<std::string, bool>> expectedAtStart = { { "ButtonStart", false },
        { "ButtonAbort", true }, { "ButtonClear1", false }, { "ButtonClear2", false }, { "ButtonLoad1", false },
        { "ComboBoxRegex", false }, { "ButtonExport", false }, { "TextField1", false },
        { "ButtonApplyRegex", true }, { "ComboTrackBarNumberThreads", true },
        { "ComboTrackBarTimeoutThreads", true }, { "ChkEnableProxies", true }, { "ChkRemoveDuplicated", true },
        { "StringGrid1", true }, { "progress", true }, { "menu", true } };
    EXPECT_EQ(atStart, expectedAtStart);

    EXPECT_EQ(ws->rows().cell(0, ColumnMatchesNumber), "2");
    EXPECT_EQ(ws->rows().cell(0, ColumnMatches), "a@x.org||b@y.org||");
    EXPECT_EQ(ws->rows().cell(1, ColumnMatchesNumber), "0");
    EXPECT_EQ(ws->rows().cell(2, ColumnMatchesNumber), "0");

    // The failed row's outcome is its count's tooltip, and its count is muted.
    auto* grid = child<ResultsGrid>("StringGrid1");
    const QModelIndex failed = grid->model()->index(2, ColumnMatchesNumber);
    const QModelIndex fine = grid->model()->index(1, ColumnMatchesNumber);
    EXPECT_EQ(failed.data(Qt::ToolTipRole).toString(), "HTTP 404");
    EXPECT_FALSE(fine.data(Qt::ToolTipRole).isValid());
    auto* delegate = qobject_cast<FailedRowDelegate*>(grid->itemDelegateForColumn(ColumnMatchesNumber));
    ASSERT_NE(delegate, nullptr);
    QStyleOptionViewItem muted;
    muted.palette = grid->palette();
    delegate->initStyleOption(&muted, failed);
    QStyleOptionViewItem plain;
    plain.palette = grid->palette();
    delegate->initStyleOption(&plain, fine);
    EXPECT_TRUE(muted.font.italic());
    EXPECT_FALSE(plain.font.italic());
    EXPECT_EQ(muted.palette.color(QPalette::Text), grid->palette().color(QPalette::Disabled, QPalette::Text));
    EXPECT_NE(muted.palette.color(QPalette::Text), plain.palette.color(QPalette::Text));

    // Idle again, with the summary in the status bar and the bar gone.
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(child<QPushButton>("ButtonAbort")->isEnabled());
    EXPECT_TRUE(child<QWidget>("ButtonLoad1")->isEnabled());
    EXPECT_FALSE(child<QProgressBar>("ProgressBarRun")->isVisibleTo(form.get()));
    EXPECT_EQ(label("LabelCompleted"), "3");
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(label("LabelTime")).hasMatch())
        << label("LabelTime").toStdString();
    EXPECT_TRUE(statusText().startsWith("3 pages, 1 failed, 2 matches in 00:00:")) << statusText().toStdString();
}

TEST_F(MainWindowRun, AbortLeavesTheRowsNotStartedEmpty)
{
    makeWindow(1);
    load(urlFile("urls.txt", { url("/slow.html"), url("/two.html"), url("/two.html"), url("/two.html") }));
    prompter.expectMessage("Extraction aborted");
    child<QPushButton>("ButtonStart")->click();
    ASSERT_TRUE(waitFor([&] { return label("LabelCompleted") == "1"; })) << label("LabelCompleted").toStdString();
    child<QPushButton>("ButtonAbort")->click();
    release = true;
    ASSERT_TRUE(ended());
    EXPECT_EQ(ws->rows().cell(0, ColumnMatchesNumber), "1");
    for (int r = 1; r < 4; ++r)
        EXPECT_EQ(ws->rows().cell(r, ColumnMatchesNumber), "") << r;
    EXPECT_EQ(label("LabelCompleted"), "1");
    EXPECT_TRUE(statusText().endsWith("(aborted, 3 not run)")) << statusText().toStdString();
    EXPECT_FALSE(child<QPushButton>("ButtonAbort")->isEnabled());

    // The next run clears the flag and runs every row.
    prompter.expectMessage("Extraction terminated");
    child<QPushButton>("ButtonStart")->click();
    ASSERT_TRUE(ended());
    EXPECT_EQ(ws->rows().cell(3, ColumnMatchesNumber), "2");
}

TEST_F(MainWindowRun, StartedRowTenRowsDownScrollsToTheTop)
{
    makeWindow(1);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QStringList lines;
    for (int r = 0; r < 40; ++r)
        lines.append(url(r == 15 ? "/slow.html" : "/none.html"));
    load(urlFile("urls.txt", lines));
    auto* grid = child<ResultsGrid>("StringGrid1");
    grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
    const int horizontal = grid->horizontalScrollBar()->value();

    prompter.expectMessage("Extraction terminated");
    child<QPushButton>("ButtonStart")->click();
    ASSERT_TRUE(waitFor([&] { return label("LabelCompleted") == "16"; })) << label("LabelCompleted").toStdString();
    EXPECT_EQ(grid->rowAt(0), 5);
    EXPECT_EQ(grid->horizontalScrollBar()->value(), horizontal);
    release = true;
    ASSERT_TRUE(ended());
}

TEST_F(MainWindowRun, StartRefusesRowsWithoutAPatternAndProxiesWithoutAList)
{
    makeWindow();
    load(urlFile("urls.txt", { url("/two.html"), "http://b.example/", url("/none.html") }));
    prompter.expectMessage(RunController::noPatternRefusal());
    child<QPushButton>("ButtonStart")->click();
    EXPECT_FALSE(ws->run().isRunning());
    EXPECT_TRUE(child<QPushButton>("ButtonStart")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("ButtonAbort")->isEnabled());

    load(urlFile("urls2.txt", { url("/two.html") }));
    child<QCheckBox>("ChkEnableProxies")->setChecked(true);
    const QString refusal = proxyRefusal(ws->settings(), ws->lists());
    ASSERT_FALSE(refusal.isEmpty());
    prompter.expectMessage(refusal);
    child<QPushButton>("ButtonStart")->click();
    EXPECT_FALSE(ws->run().isRunning());
    EXPECT_TRUE(child<QPushButton>("ButtonStart")->isEnabled());
}

TEST_F(MainWindowRun, ClosingDuringARunStopsItWaitsAndClosesWithoutAMessage)
{
    const std::pair<const char*, std::function<void(TTFormMain&)>> ways[] = {
        { "close", [](TTFormMain& w) { EXPECT_FALSE(w.close()); } },
        { "File > Exit", [](TTFormMain& w) { w.findChild<QAction*>("MenuItemExit")->trigger(); } },
    };
    for (const auto& [how, trigger] : ways) {
        SCOPED_TRACE(how);
        release = false;
        form.reset();
        makeWindow(1);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        load(urlFile("urls.txt", { url("/slow.html"), url("/two.html"), url("/two.html") }));
        child<QPushButton>("ButtonStart")->click();
        ASSERT_TRUE(waitFor([&] { return label("LabelCompleted") == "1"; }));

        trigger(*form);
        // Still open, the event loop running, the run stopping.
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(ws->run().isStopping());
        EXPECT_EQ(statusText(), MainWindowRules::stoppingText());
        QTest::qWait(50);
        EXPECT_TRUE(form->isVisible());

        release = true;
        ASSERT_TRUE(waitFor([&] { return !form->isVisible(); }));
        EXPECT_FALSE(ws->run().isRunning());
        EXPECT_EQ(ws->rows().cell(0, ColumnMatchesNumber), "1");
        EXPECT_EQ(ws->rows().cell(1, ColumnMatchesNumber), "");
        // No end message was asked for (the scripted prompter fails on any).
        EXPECT_TRUE(prompter.asked.filter("Extraction").isEmpty()) << prompter.asked.join(" | ").toStdString();
    }
}

TEST_F(MainWindowRun, DestroyingTheWindowDuringARunWaitsForIt)
{
    makeWindow(1);
    load(urlFile("urls.txt", { url("/slow.html"), url("/two.html") }));
    child<QPushButton>("ButtonStart")->click();
    ASSERT_TRUE(waitFor([&] { return label("LabelCompleted") == "1"; }));
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        release = true;
    });
    form.reset();
    releaser.join();
    EXPECT_FALSE(ws->run().isRunning());
}
