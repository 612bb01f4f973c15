// The main window's start-up state, controls, commands and menus, driven offscreen.
#include "MainWindowFixture.h"
#include "app/CommonVarsC.h"
#include "app/ProductConfig.h"
#include "engine/RunController.h"
#include "results/StringGridUtil.h"
#include "ui/BrowserUtil.h"
#include "ui/ComboTrackBar.h"
#include "ui/MainWindowRules.h"
#include "ui/ResultsGrid.h"
#include "ui/formAbout.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

namespace
{

QString accessibleName(QObject* o)
{
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
    return a ? a->text(QAccessible::Name) : QStringLiteral("<none>");
}

const char* const RunningDisabled[] = { "ButtonClear1", "ButtonClear2", "ButtonEditWebsites", "ButtonEditServices",
    "ButtonLoad1", "ComboBoxRegex", "ButtonExport", "TextField1" };

} // namespace

using MainWindow = MainWindowFixture;

TEST_F(MainWindow, StartsIdleWithItsCaptionCountersAndLibrary)
{
    makeWindow();
    EXPECT_EQ(form->windowTitle(), CommonVars().MAINFORMCAPTION);
    EXPECT_TRUE(form->windowTitle().endsWith(QStringLiteral(" Glimmerpick V1.0.0")));
    EXPECT_EQ(form->ResourcesFilesPath, ws->ResourcesFilesPath());
    EXPECT_EQ(ws->rows().rowCount(), 0);

    const int entries = ws->library().count();
    ASSERT_GT(entries, 0);
    EXPECT_EQ(child<QLabel>("LabelTotalUrls")->text(), "0");
    EXPECT_EQ(child<QLabel>("LabelTotalRegex")->text(), QString::number(entries));
    EXPECT_EQ(child<QLabel>("LabelCompleted")->text(), "0");
    EXPECT_EQ(child<QLabel>("LabelTime")->text(), "00:00:00");
    auto* combo = child<QComboBox>("ComboBoxRegex");
    EXPECT_EQ(combo->count(), entries);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->currentText(), ws->library().entry(0).description.value_or(QString()));
    EXPECT_EQ(child<QLineEdit>("TextField1")->text(), "Insert urls for extraction");
    // The identity lists were loaded by FormCreate.
    EXPECT_EQ(*ws->lists().ListReferers(), QStringList { "https://referer.example/" });

    // Idle controls; the timeout handler ran when the range was set.
    EXPECT_TRUE(child<QPushButton>("ButtonStart")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("ButtonAbort")->isEnabled());
    for (const char* name : RunningDisabled)
        EXPECT_TRUE(child<QWidget>(name)->isEnabled()) << name;
    EXPECT_EQ(child<ComboTrackBar>("ComboTrackBarTimeoutThreads")->text(), "3");
    EXPECT_EQ(ws->settings().TimeoutThreads, 3);
    EXPECT_FALSE(child<QCheckBox>("ChkEnableProxies")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("ChkRemoveDuplicated")->isChecked());
}

TEST_F(MainWindow, ControlsCarryTheirNamesHintsFocusRulesAndAccessibleNames)
{
    makeWindow();
    const std::pair<const char*, const char*> hints[] = {
        { "ButtonClear1", "Clear file path" },
        { "ButtonEditWebsites", "Edit your urls for extraction" },
        { "ButtonLoad1", "Load file for websites" },
        { "ComboTrackBarNumberThreads", "Threads number" },
        { "ButtonClear2", "Clear indexing sites" },
        { "ButtonEditServices", "Edit RegEx Library" },
        { "ButtonApplyRegex", "Apply Regex Library record selected" },
        { "ComboTrackBarTimeoutThreads", "Timeout" },
        { "ChkRemoveDuplicated", "Remove duplicated matches from a single url" },
        { "ButtonStart", "Start extraction" },
        { "ButtonExport", "Export pinged list" },
    };
    for (const auto& [name, hint] : hints)
        EXPECT_EQ(child<QWidget>(name)->toolTip(), QLatin1String(hint)) << name;
    EXPECT_TRUE(child<QWidget>("ButtonAbort")->toolTip().isEmpty());

    for (const char* name : { "ButtonClear1", "ButtonEditWebsites", "ButtonLoad1", "ButtonClear2",
             "ButtonEditServices", "ButtonApplyRegex", "ButtonStart", "ButtonAbort", "ButtonExport",
             "ComboBoxRegex", "ComboTrackBarNumberThreads" })
        EXPECT_EQ(child<QWidget>(name)->focusPolicy(), Qt::NoFocus) << name;
    for (const char* name :
        { "TextField1", "ComboTrackBarTimeoutThreads", "ChkEnableProxies", "ChkRemoveDuplicated", "StringGrid1" })
        EXPECT_NE(child<QWidget>(name)->focusPolicy() & Qt::TabFocus, 0) << name;

    // The numeric boxes are read under their captions; value labels read their values.
    EXPECT_EQ(accessibleName(child<QWidget>("ComboTrackBarNumberThreads")), "Threads #");
    EXPECT_EQ(accessibleName(child<QWidget>("ComboTrackBarTimeoutThreads")), "Timeout (sec)");
    EXPECT_EQ(accessibleName(child<QWidget>("TextField1")), "Url file");
    EXPECT_EQ(accessibleName(child<QWidget>("ButtonApplyRegex")), "Apply Regex");
    EXPECT_EQ(accessibleName(child<QWidget>("ChkRemoveDuplicated")), "Remove duplicated");
    EXPECT_EQ(accessibleName(child<QWidget>("LabelTotalRegex")), child<QLabel>("LabelTotalRegex")->text());
    EXPECT_EQ(accessibleName(child<QWidget>("LabelTime")), "00:00:00");
    EXPECT_EQ(child<QLabel>("LabelNumberThreads")->buddy(), child<QWidget>("ComboTrackBarNumberThreads"));

    // The Edit buttons and the Settings menu belong to windows that are not here yet.
    EXPECT_TRUE(child<QWidget>("ButtonEditWebsites")->isHidden());
    EXPECT_TRUE(child<QWidget>("ButtonEditServices")->isHidden());
    EXPECT_EQ(form->findChild<QMenu*>("MenuItemSettings"), nullptr);
    QStringList menus;
    for (QAction* a : form->menuBar()->actions())
        menus.append(a->text());
    EXPECT_EQ(menus, (QStringList { "File", "Help" }));
    for (const char* name : { "MenuItemExit", "MenuItemAbout", "MenuItemOnlineManual", "MenuItemSupport" })
        EXPECT_NE(form->findChild<QAction*>(QLatin1String(name)), nullptr) << name;
    auto* exportMenu = child<QMenu>("PopupMenuExport");
    ASSERT_EQ(exportMenu->actions().size(), 3);
    EXPECT_EQ(exportMenu->actions()[0]->objectName(), "ExportTxtFile");
    EXPECT_EQ(exportMenu->actions()[0]->text(), "Export results as txt file");
    EXPECT_EQ(exportMenu->actions()[1]->objectName(), "ExportCsvFile");
    EXPECT_EQ(exportMenu->actions()[2]->objectName(), "ExportJsonLinesFile");
}

TEST_F(MainWindow, GridIsAFixedHeightViewOverTheRowStore)
{
    makeWindow();
    auto* grid = child<ResultsGrid>("StringGrid1");
    EXPECT_EQ(grid->model(), &ws->rows());
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 21);
    EXPECT_EQ(grid->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_FALSE(grid->isSortingEnabled());
    EXPECT_FALSE(grid->horizontalHeader()->sectionsMovable());
    EXPECT_FALSE(grid->horizontalHeader()->sectionsClickable());
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    const int widths[] = { 400, 150, 150, 80 };
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
    EXPECT_TRUE(grid->isColumnHidden(ColumnMatches));

    // A new file resets the model: the match list column stays hidden.
    load(urlFile("urls.txt", { "http://a.example/||x", "http://b.example/" }));
    EXPECT_TRUE(grid->isColumnHidden(ColumnMatches));
    EXPECT_EQ(grid->columnWidth(ColumnUrl), 400);
    // Editing in place writes the row store.
    EXPECT_TRUE(grid->model()->setData(grid->model()->index(1, ColumnRegexPattern), "y"));
    EXPECT_EQ(ws->rows().cell(1, ColumnRegexPattern), "y");
}

TEST_F(MainWindow, ThreadCountBoxFollowsTheInjectedProcessorCount)
{
    struct Case {
        int processors;
        int maximum;
    };
    for (const Case c :
        { Case { 1, 60 }, Case { 4, 60 }, Case { 7, 56 }, Case { 8, 56 }, Case { 32, 32 }, Case { 64, 64 } }) {
        SCOPED_TRACE(c.processors);
        form.reset();
        makeWindow(c.processors);
        auto* box = child<ComboTrackBar>("ComboTrackBarNumberThreads");
        EXPECT_EQ(box->minimum(), c.processors);
        EXPECT_EQ(box->maximum(), c.maximum);
        EXPECT_EQ(box->frequency(), c.processors);
        EXPECT_EQ(box->text(), QString::number(c.processors));
        EXPECT_EQ(ws->settings().ThreadCount, c.processors);
        // The top of the slider is the top of the range, and what the next run reads.
        box->slider()->setValue(box->slider()->maximum());
        EXPECT_EQ(box->value(), c.maximum);
        EXPECT_EQ(ws->settings().ThreadCount, c.maximum);
    }
}

TEST_F(MainWindow, TimeoutCommitsClampRevertOrReportTheConversionError)
{
    makeWindow();
    auto* box = child<ComboTrackBar>("ComboTrackBarTimeoutThreads");
    struct Case {
        QString typed;
        QString shown;
        int timeout;
        QString error;
    };
    const Case cases[] = {
        { "45", "30", 30, {} },
        { "1", "3", 3, {} },
        { "12", "12", 12, {} },
        { "", "12", 12, {} },
        { "10.5", "10.5", 12, "'10.5' is not a valid integer value" },
        { "20", "20", 20, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        if (!c.error.isEmpty())
            prompter.expectError(c.error);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, c.typed);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(box->text(), c.shown);
        EXPECT_EQ(ws->settings().TimeoutThreads, c.timeout);
        EXPECT_TRUE(prompter.allUsed());
    }
    // The check boxes are mirrored into the settings the workers read.
    child<QCheckBox>("ChkEnableProxies")->setChecked(true);
    child<QCheckBox>("ChkRemoveDuplicated")->setChecked(true);
    EXPECT_TRUE(ws->settings().EnableProxies);
    EXPECT_TRUE(ws->settings().RemoveDuplicated);
}

TEST_F(MainWindow, LoadFillsTheGridAndAnUnreadableFileKeepsIt)
{
    makeWindow();
    const QString path
        = urlFile("urls.txt", { "http://a.example/||a+||$0", "http://b.example/||b", "", "http://c/" });
    // The file is read off the UI thread; meanwhile what would use it waits.
    const char* const waiting[]
        = { "ButtonLoad1", "ButtonClear1", "TextField1", "ButtonStart", "ButtonApplyRegex", "ButtonExport" };
    prompter.expectOpenFile(path);
    child<QPushButton>("ButtonLoad1")->click();
    EXPECT_TRUE(form->isLoading());
    for (const char* name : waiting)
        EXPECT_FALSE(child<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(form->statusBar()->currentMessage().startsWith("Loading "))
        << form->statusBar()->currentMessage().toStdString();
    ASSERT_TRUE(waitFor([&] { return !form->isLoading(); }));
    for (const char* name : waiting)
        EXPECT_TRUE(child<QWidget>(name)->isEnabled()) << name;
    EXPECT_EQ(child<QLineEdit>("TextField1")->text(), path);
    EXPECT_EQ(form->WebsitesList.size(), 4);
    ASSERT_EQ(ws->rows().rowCount(), 4);
    EXPECT_EQ(ws->rows().cell(0, ColumnRegexReplace), "$0");
    EXPECT_EQ(ws->rows().cell(1, ColumnRegexPattern), "b");
    EXPECT_EQ(ws->rows().cell(2, ColumnUrl), "");
    EXPECT_EQ(child<QLabel>("LabelTotalUrls")->text(), "4");

    // A file that cannot be read: its name in the error box, grid and list as they were.
    const QString missing = dir.path("missing.txt");
    load(missing, "missing.txt");
    EXPECT_EQ(child<QLineEdit>("TextField1")->text(), missing);
    EXPECT_EQ(ws->rows().rowCount(), 4);
    EXPECT_EQ(form->WebsitesList.size(), 4);

    // Cancelling the dialog changes nothing; an empty file leaves the grid.
    load(QString());
    EXPECT_EQ(child<QLineEdit>("TextField1")->text(), missing);
    load(dir.write("empty.txt", "\xEF\xBB\xBF"));
    EXPECT_EQ(ws->rows().rowCount(), 4);
    EXPECT_TRUE(form->WebsitesList.isEmpty());

    // A URL-only file after one with patterns leaves no pattern behind.
    load(urlFile("plain.txt", { "http://x/", "http://y/" }));
    ASSERT_EQ(ws->rows().rowCount(), 2);
    EXPECT_EQ(ws->rows().cell(0, ColumnRegexPattern), "");
    EXPECT_EQ(ws->rows().cell(0, ColumnRegexReplace), "");

    child<QPushButton>("ButtonClear1")->click();
    EXPECT_EQ(child<QLineEdit>("TextField1")->text(), "Insert urls for extraction");
    EXPECT_EQ(ws->rows().rowCount(), 0);
    EXPECT_TRUE(form->WebsitesList.isEmpty());
    EXPECT_EQ(child<QLabel>("LabelTotalUrls")->text(), "0");
}

TEST_F(MainWindow, ClosingWhileAFileIsReadWaitsForTheRead)
{
    makeWindow();
    form->show();
    QStringList lines;
    for (int i = 0; i < 20000; ++i)
        lines.append(QStringLiteral("http://host/%1||x").arg(i));
    prompter.expectOpenFile(urlFile("urls.txt", lines));
    child<QPushButton>("ButtonLoad1")->click();
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    form.reset();
}

TEST_F(MainWindow, ExportWritesEveryMatchAndReportsFailures)
{
    makeWindow();
    load(urlFile("urls.txt", { "http://a/", "http://b/", "http://c/" }));
    ws->rows().setCell(0, ColumnMatches, "a||b||");
    ws->rows().setCell(2, ColumnMatches, "c");

    // A name without an extension gets ".txt".
    const QString target = dir.path("out");
    prompter.expectSaveFile(target);
    prompter.expectMessage("Export completed!");
    child<QMenu>("PopupMenuExport")->actions()[0]->trigger();
    EXPECT_EQ(dir.read("out.txt"), QByteArray("a\r\nb\r\nc\r\n"));

    prompter.expectSaveFile(QString());
    child<QMenu>("PopupMenuExport")->actions()[0]->trigger();

    prompter.expectSaveFile(dir.path("no/such/folder/out.txt"));
    prompter.expectError("out.txt");
    child<QMenu>("PopupMenuExport")->actions()[0]->trigger();
    EXPECT_TRUE(prompter.allUsed());
}

TEST_F(MainWindow, ExportAsCsvAndJsonLinesKeepEachMatchWithItsRow)
{
    makeWindow();
    load(urlFile("urls.txt", { "http://a/", "http://b/" }));
    ws->rows().setCell(0, ColumnMatchesNumber, "2");
    ws->rows().setCell(0, ColumnMatches, "x,1||y||");
    ws->rows().setCell(1, ColumnMatchesNumber, "0");

    auto* popup = child<QMenu>("PopupMenuExport");
    ASSERT_EQ(popup->actions().size(), 3);
    EXPECT_EQ(popup->actions()[1]->text(), "Export results as CSV file");
    EXPECT_EQ(popup->actions()[2]->text(), "Export results as JSON Lines file");

    prompter.expectSaveFile(dir.path("out"));
    prompter.expectMessage("Export completed!");
    popup->actions()[1]->trigger();
    EXPECT_EQ(dir.read("out.csv"), QByteArray("row,url,match\r\n1,http://a/,\"x,1\"\r\n1,http://a/,y\r\n"));

    prompter.expectSaveFile(dir.path("out"));
    prompter.expectMessage("Export completed!");
    popup->actions()[2]->trigger();
    const QList<QByteArray> lines = dir.read("out.jsonl").split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains("\"matches\":[\"x,1\",\"y\"]")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("\"count\":0")) << lines[1].toStdString();
    EXPECT_TRUE(prompter.allUsed());
}

TEST_F(MainWindow, SettingsMenuAppearsWithTheEditorAndOpensEachList)
{
    makeWindow();
    EXPECT_EQ(form->findChild<QMenu*>("MenuItemSettings"), nullptr);
    std::vector<IdentityKind> opened;
    form->setIdentityEditor([&](IdentityKind k) { opened.push_back(k); });
    auto* menu = child<QMenu>("MenuItemSettings");
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->title(), "Settings");
    QStringList captions;
    for (QAction* a : menu->actions()) {
        captions.append(a->text());
        a->trigger();
    }
    EXPECT_EQ(captions, (QStringList { "Proxies", "Referers", "User Agents" }));
    EXPECT_EQ(opened,
        (std::vector<IdentityKind> { IdentityKind::Proxies, IdentityKind::Referers, IdentityKind::UserAgents }));
}

TEST_F(MainWindow, ApplyRegexWritesTheSelectedEntryIntoEveryRow)
{
    makeWindow();
    prompter.expectMessage("You must load urls before to apply regex");
    child<QPushButton>("ButtonApplyRegex")->click();

    load(urlFile("urls.txt", { "http://a/||old||$1", "http://b/" }));
    auto* combo = child<QComboBox>("ComboBoxRegex");
    combo->setCurrentIndex(2);
    const RegexLibraryEntry& entry = ws->library().entry(2);
    child<QPushButton>("ButtonApplyRegex")->click();
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(ws->rows().cell(r, ColumnRegexPattern), entry.regex_pattern.value_or("old"));
        if (entry.regex_replacement) {
            EXPECT_EQ(ws->rows().cell(r, ColumnRegexReplace), *entry.regex_replacement);
        }
        EXPECT_EQ(ws->rows().cell(r, ColumnMatchesNumber), "");
    }
    EXPECT_EQ(ws->rows().cell(0, ColumnUrl), "http://a/");

    // Clear of the second row selects the first entry again and resets the time label.
    child<QLabel>("LabelTime")->setText("00:00:09");
    child<QPushButton>("ButtonClear2")->click();
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(child<QLabel>("LabelTime")->text(), "00:00:00");
    EXPECT_EQ(ws->rows().cell(0, ColumnRegexPattern), entry.regex_pattern.value_or("old"));
}

TEST_F(MainWindow, ApplyWithAnEmptyLibrarySaysSo)
{
    makeWindow(4, false);
    EXPECT_EQ(child<QComboBox>("ComboBoxRegex")->count(), 0);
    EXPECT_EQ(child<QLabel>("LabelTotalRegex")->text(), "0");
    load(urlFile("urls.txt", { "http://a/||keep" }));
    prompter.expectMessage(MainWindowRules::noLibraryEntryText());
    child<QPushButton>("ButtonApplyRegex")->click();
    EXPECT_EQ(ws->rows().cell(0, ColumnRegexPattern), "keep");
}

TEST_F(MainWindow, HelpMenuAndAboutOpenTheProductAddresses)
{
    makeWindow();
    QStringList opened;
    setUrlOpener([&](const QUrl& u) {
        opened.append(u.toString());
        return true;
    });
    form->findChild<QAction*>("MenuItemOnlineManual")->trigger();
    form->findChild<QAction*>("MenuItemSupport")->trigger();

    auto* about = new TTFormAbout(form.get());
    form->setAboutWindow(about);
    form->findChild<QAction*>("MenuItemAbout")->trigger();
    form->findChild<QAction*>("MenuItemAbout")->trigger();
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(form->findChildren<TTFormAbout*>().size(), 1);
    EXPECT_EQ(about->windowTitle(), "About");
    about->findChild<QPushButton*>("Button1")->click();
    for (const char* image : { "ImgFacebook", "ImgTwitter", "ImgYoutube" }) {
        auto* button = about->findChild<QToolButton*>(QLatin1String(image));
        ASSERT_NE(button, nullptr) << image;
        EXPECT_FALSE(button->icon().isNull()) << image;
        button->click();
    }
    // The About window keeps its designed size as its minimum.
    about->resize(200, 100);
    EXPECT_TRUE(waitFor([&] { return about->size() == QSize(310, 230); }, 5000))
        << about->width() << "x" << about->height();
    setUrlOpener(nullptr);

    EXPECT_EQ(opened,
        (QStringList { ProductConfig::OnlineManualUrl,
            "mailto:support@glimmerpick.example.com?subject=Morvantis Glimmerpick support request",
            ProductConfig::WebSiteUrl, ProductConfig::FacebookUrl, ProductConfig::TwitterUrl,
            ProductConfig::YoutubeUrl }));
}

TEST_F(MainWindow, ShrinkingSpringsBackToTheMinimumClientSize)
{
    makeWindow();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // Resizes of a shown window arrive through the event loop, the snap back as a second one.
    const std::pair<QSize, QSize> cases[] = {
        { { 500, 700 }, { 733, 700 } },
        { { 900, 300 }, { 900, 618 } },
        { { 1000, 760 }, { 1000, 760 } },
    };
    for (const auto& [asked, result] : cases) {
        form->resize(asked);
        EXPECT_TRUE(waitFor([&] { return form->size() == result; }, 5000))
            << asked.width() << "x" << asked.height() << " gave " << form->width() << "x" << form->height();
    }
}

TEST_F(MainWindow, EditHookOpensTheEditorAndReloadsTheFileFromDisk)
{
    makeWindow();
    QStringList edited;
    const QString path = urlFile("urls.txt", { "http://a/" });
    form->setTextEditor([&](const QString& p) {
        edited.append(p);
        dir.write("urls.txt", "http://a/||x\r\nhttp://b/||y\r\n");
    });
    auto* edit = child<QPushButton>("ButtonEditWebsites");
    EXPECT_FALSE(edit->isHidden());
    prompter.expectMessage("No file selected");
    edit->click();
    EXPECT_TRUE(edited.isEmpty());

    load(path);
    edit->click();
    ASSERT_TRUE(waitFor([&] { return !form->isLoading(); }));
    EXPECT_EQ(edited, QStringList { path });
    ASSERT_EQ(ws->rows().rowCount(), 2);
    EXPECT_EQ(ws->rows().cell(1, ColumnRegexPattern), "y");
    EXPECT_EQ(child<QLabel>("LabelTotalUrls")->text(), "2");

    // The Settings menu comes between File and Help when asked for.
    QMenu* settings = form->settingsMenu();
    EXPECT_EQ(settings, form->settingsMenu());
    QStringList menus;
    for (QAction* a : form->menuBar()->actions())
        menus.append(a->text());
    EXPECT_EQ(menus, (QStringList { "File", "Settings", "Help" }));
}
