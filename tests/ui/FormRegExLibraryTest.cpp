#include "ScriptedPrompter.h"
#include "library/SqlcipherCli.h"

#include "app/Workspace.h"
#include "engine/MatchCollector.h"
#include "library/RegexLibraryModel.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "text/FileUtil.h"
#include "ui/RegexTestPane.h"
#include "ui/formRegExLibrary.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QThread>
#include <QToolBar>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace
{

const QStringList ResourceFiles = { "data.db", "proxies.txt", "referers.txt", "user_agents.txt" };

// A resources folder of the test's own: copies of the built library and identity lists.
struct Resources {
    TempDir dir;

    Resources()
    {
        for (const QString& name : ResourceFiles) {
            const QString from = QStringLiteral(GLIMMERPICK_BIN_DIR "/resources/") + name;
            if (!QFile::copy(from, path(name)))
                throw std::runtime_error("cannot copy " + from.toStdString());
        }
    }
    QString folder() const { return dir.dir().path(); }
    QString path(const QString& name) const { return dir.path(name); }

    // The library as a fresh start would read it.
    std::vector<RegexLibraryEntry> library() const
    {
        RegexLibraryStore store;
        store.open(path(QStringLiteral("data.db")));
        return store.entries();
    }
};

// The window over a started workspace, with a prompter that fails on any prompt not expected.
struct LibraryWindow {
    Resources resources;
    Workspace workspace { resources.folder() };
    ScriptedPrompter prompter;
    TTFormRegExLibrary window { workspace, prompter };
    RegexLibraryModel* model = nullptr;

    LibraryWindow()
    {
        workspace.startUp();
        window.showModeless();
        model = &window.model();
    }
    RegexTestPane& pane() { return *window.PanelRegexTest; }
    QTableView& grid() { return *window.GridBindSourceDB1; }
    int gridRow() { return grid().currentIndex().row(); }
    QString cell(int row, int column) { return model->data(model->index(row, column)).toString(); }

    // "FPNLIDESCR" with a '.' for each disabled button, read from the bar's actions.
    QString buttons() const
    {
        const char letters[] = "FPNLIDESCR";
        QString s;
        for (std::size_t i = 0; i < NavigatorActionCount; ++i)
            s += window.navigatorAction(NavigatorAction(i))->isEnabled() ? QLatin1Char(letters[i])
                                                                         : QLatin1Char('.');
        return s;
    }
    void click(NavigatorAction a) { window.navigatorAction(a)->trigger(); }

    // Chooses a cell in the grid as a click does.
    void choose(int row, int column = 0) { grid().setCurrentIndex(model->index(row, column)); }

    // Opens the editor on the current cell as a double click does; null when none opened.
    QLineEdit* openEditor()
    {
        grid().edit(grid().currentIndex());
        return qobject_cast<QLineEdit*>(grid().indexWidget(grid().currentIndex()));
    }

    // Types into a cell as a user does: chooses it, opens its editor, replaces its text and presses Enter.
    void type(int row, int column, const QString& text)
    {
        choose(row, column);
        QLineEdit* editor = openEditor();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        editor->insert(text);
        pressEnter(editor);
    }

    static void pressEnter(QWidget* editor)
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(editor, &press);
        // The delegate commits and closes the editor through a queued call.
        QApplication::processEvents();
    }
};

// Every description in the library's order.
QStringList descriptions(const std::vector<RegexLibraryEntry>& entries)
{
    QStringList list;
    for (const RegexLibraryEntry& e : entries)
        list << e.description.value_or(QStringLiteral("<NULL>"));
    return list;
}

// What the collector gives for the text, as the export's lines.
struct Collected {
    int count = 0;
    QStringList lines;
    bool operator==(const Collected&) const = default;
};

void PrintTo(const Collected& c, std::ostream* os)
{
    *os << c.count << " ";
    PrintTo(c.lines, os);
}

Collected collector(const QString& text, const RegexLibraryEntry& e, bool removeDuplicated)
{
    Collected c;
    QString strings;
    ApplyRegexToHtml(text, e.regex_pattern.value_or(QString()), e.regex_replacement.value_or(QString()), c.count,
        strings, removeDuplicated);
    if (!strings.isEmpty())
        c.lines = splitFields(strings, FieldSeparator);
    return c;
}

Collected paneShows(RegexTestPane& pane)
{
    pane.runPendingTrial();
    // What a user reads: the lines of the matches box.
    const QString shown = pane.MemoTestMatches->toPlainText();
    return { pane.matchCount(), shown.isEmpty() ? QStringList() : shown.split(u'\n') };
}

bool spinUntil(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition() && elapsed.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return condition();
}

} // namespace

TEST(FormRegExLibrary, DesignedWindowBindsOnItsFirstShowing)
{
    Resources resources;
    Workspace workspace(resources.folder());
    workspace.startUp();
    ScriptedPrompter prompter;
    TTFormRegExLibrary window(workspace, prompter);
    EXPECT_EQ(window.windowTitle(), "RegEx Library");
    EXPECT_EQ(window.size(), QSize(831, 480));
    EXPECT_EQ(window.pos(), QPoint(660, 255));
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isBound());
    EXPECT_EQ(window.GridBindSourceDB1->model(), nullptr);

    window.showModeless();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    ASSERT_NE(window.GridBindSourceDB1->model(), nullptr);
    const QAbstractItemModel& grid = *window.GridBindSourceDB1->model();
    EXPECT_EQ(grid.rowCount(), workspace.library().count());
    QStringList headers;
    for (int c = 0; c < grid.columnCount(); ++c) {
        headers << grid.headerData(c, Qt::Horizontal).toString();
        EXPECT_EQ(window.GridBindSourceDB1->columnWidth(c), 195);
    }
    EXPECT_EQ(headers, QStringList({ "Description", "Regex Pattern", "Regex Replacement", "example" }));
    EXPECT_EQ(window.NavigatorBindSourceDB1->height(), 25);
    QStringList bar;
    for (QAction* a : window.NavigatorBindSourceDB1->actions())
        bar << a->toolTip();
    EXPECT_EQ(bar,
        QStringList({ "First record", "Prior record", "Next record", "Last record", "Insert record",
            "Delete record", "Edit record", "Post edit", "Cancel edit", "Refresh data" }));
    EXPECT_EQ(window.GridBindSourceDB1->currentIndex().row(), 0);
}

TEST(FormRegExLibrary, NavigatorButtonsMoveTheGridAndFollowTheEditState)
{
    LibraryWindow w;
    const int last = w.model->rowCount() - 1;
    ASSERT_GT(last, 2);
    EXPECT_EQ(w.buttons(), "..NLIDE..R");
    w.click(NavigatorAction::First); // disabled: nothing happens
    w.click(NavigatorAction::Next);
    w.click(NavigatorAction::Next);
    EXPECT_EQ(w.gridRow(), 2);
    EXPECT_EQ(w.buttons(), "FPNLIDE..R");
    w.click(NavigatorAction::Prior);
    EXPECT_EQ(w.gridRow(), 1);
    w.click(NavigatorAction::Last);
    EXPECT_EQ(w.gridRow(), last);
    EXPECT_EQ(w.buttons(), "FP..IDE..R");
    w.click(NavigatorAction::First);
    EXPECT_EQ(w.gridRow(), 0);
    // A click in the grid moves the cursor too.
    w.choose(3, 2);
    EXPECT_EQ(w.model->currentRow(), 3);

    w.click(NavigatorAction::Edit);
    EXPECT_EQ(w.buttons(), "FPNLID.SCR");
    w.click(NavigatorAction::Cancel);
    EXPECT_EQ(w.buttons(), "FPNLIDE..R");
    // Cancel with the cell editor still open puts the cell back and closes the editor.
    const QString example = w.cell(3, 2);
    QLineEdit* editor = w.openEditor();
    ASSERT_NE(editor, nullptr);
    editor->insert("typed");
    EXPECT_EQ(w.cell(3, 2), example + "typed"); // every keystroke is in the edit at once
    EXPECT_EQ(w.buttons(), "FPNLID.SCR");
    w.click(NavigatorAction::Cancel);
    EXPECT_EQ(w.grid().indexWidget(w.grid().currentIndex()), nullptr);
    EXPECT_EQ(w.cell(3, 2), example);

    // Insert, fill in, post: the entry takes its sorted place and the grid follows it.
    w.click(NavigatorAction::Insert);
    EXPECT_EQ(w.model->rowCount(), last + 2);
    EXPECT_EQ(w.gridRow(), 3);
    EXPECT_EQ(w.cell(3, 0), "(null)");
    EXPECT_EQ(w.buttons(), "FPNLID.SCR");
    w.type(3, 0, "Bold text");
    w.type(3, 1, "<b>(.*?)</b>");
    w.click(NavigatorAction::Post);
    const QStringList names = descriptions(w.resources.library());
    ASSERT_EQ(names.indexOf("Bold text"), 0);
    EXPECT_EQ(w.gridRow(), 0);
    EXPECT_EQ(w.buttons(), "..NLIDE..R");
    EXPECT_EQ(w.cell(w.gridRow(), 1), "<b>(.*?)</b>");
    EXPECT_EQ(w.cell(w.gridRow(), 2), "(null)");

    // An inserted entry with nothing typed is dropped by Cancel, and by moving on.
    w.click(NavigatorAction::Insert);
    w.click(NavigatorAction::Cancel);
    w.click(NavigatorAction::Insert);
    w.click(NavigatorAction::Next);
    EXPECT_EQ(descriptions(w.resources.library()), names);
    EXPECT_EQ(w.model->rowCount(), names.size());
}

TEST(FormRegExLibrary, DeleteAsksFirst)
{
    LibraryWindow w;
    const QStringList before = descriptions(w.resources.library());
    w.choose(2);
    w.prompter.expectConfirm(false, "Delete record?");
    w.click(NavigatorAction::Delete);
    EXPECT_EQ(descriptions(w.resources.library()), before);

    w.prompter.expectConfirm(true, "Delete record?");
    w.click(NavigatorAction::Delete);
    QStringList after = before;
    after.removeAt(2);
    EXPECT_EQ(descriptions(w.resources.library()), after);
    EXPECT_EQ(w.gridRow(), 2);
    EXPECT_EQ(w.cell(2, 0), after[2]);
}

TEST(FormRegExLibrary, RenameMovesTheEntryAndTheGridFollows)
{
    LibraryWindow w;
    // The main window can refresh its selector at every write: positions move with a rename.
    int writes = 0;
    QObject::connect(&w.window, &TTFormRegExLibrary::libraryChanged, [&] { ++writes; });
    const int last = w.model->rowCount() - 1;
    const QString pattern = w.cell(0, 1);
    // Escape puts back what the cell held when its editor opened.
    const QString name = w.cell(0, 0);
    QLineEdit* editor = w.openEditor();
    ASSERT_NE(editor, nullptr);
    editor->insert("x");
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(editor, &escape);
    EXPECT_EQ(w.cell(0, 0), name);

    // Typed without Enter, then posted from the bar.
    w.choose(0, 0);
    editor = w.openEditor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    editor->insert("Zz last of all");
    EXPECT_EQ(w.model->state(), LibraryEditState::Edit);
    EXPECT_EQ(descriptions(w.resources.library()).last(), w.cell(last, 0)); // not written yet
    w.click(NavigatorAction::Post);
    EXPECT_EQ(descriptions(w.resources.library()).last(), "Zz last of all");
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(w.gridRow(), last);
    EXPECT_EQ(w.cell(last, 1), pattern);
}

TEST(FormRegExLibrary, NullAndEmptyTextStayApartThroughTheGrid)
{
    LibraryWindow w;
    const QString first = w.cell(0, 0);
    // "Set to NULL" on the replacement, an emptied example.
    w.choose(0, RegexLibraryModel::ColumnReplacement);
    w.window.ActionSetToNull->trigger();
    w.type(0, RegexLibraryModel::ColumnExample, "");
    EXPECT_EQ(w.cell(0, RegexLibraryModel::ColumnReplacement), "(null)");
    EXPECT_EQ(w.cell(0, RegexLibraryModel::ColumnExample), "");

    // An editor opened on a NULL cell and left with Enter keeps NULL; typing and erasing makes a text.
    w.choose(0, RegexLibraryModel::ColumnReplacement);
    QLineEdit* editor = w.openEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "");
    EXPECT_EQ(editor->placeholderText(), "(null)");
    LibraryWindow::pressEnter(editor);
    EXPECT_EQ(w.cell(0, RegexLibraryModel::ColumnReplacement), "(null)");
    w.click(NavigatorAction::Post);

    std::vector<RegexLibraryEntry> stored = w.resources.library();
    EXPECT_EQ(stored[0].description, first);
    EXPECT_EQ(stored[0].regex_replacement, std::nullopt);
    EXPECT_EQ(stored[0].example, QString());

    w.choose(0, RegexLibraryModel::ColumnReplacement);
    editor = w.openEditor();
    ASSERT_NE(editor, nullptr);
    editor->insert("x");
    editor->backspace();
    LibraryWindow::pressEnter(editor);
    w.click(NavigatorAction::Post);
    stored = w.resources.library();
    EXPECT_EQ(stored[0].regex_replacement, QString());
}

TEST(FormRegExLibrary, ClosingPostsTheEditHidesAndTellsTheMainWindow)
{
    LibraryWindow w;
    // What the main window does on closed(): ReloadComboBoxRegex over the shared store.
    QComboBox selector;
    int closings = 0;
    QObject::connect(&w.window, &TTFormRegExLibrary::closed, [&] {
        ++closings;
        selector.clear();
        for (const RegexLibraryEntry& e : w.workspace.library().entries())
            selector.addItem(e.description.value_or(QString()));
        selector.setCurrentIndex(selector.count() > 0 ? 0 : -1);
    });
    w.type(4, 0, "A new first name");
    EXPECT_TRUE(w.window.close());
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_EQ(closings, 1);
    EXPECT_EQ(selector.currentText(), "A new first name");
    EXPECT_EQ(selector.count(), w.workspace.library().count());
    EXPECT_EQ(descriptions(w.resources.library()).first(), "A new first name");

    // Shown again it is the same window, still bound; an unchanged edit is dropped on close.
    w.window.showModeless();
    w.click(NavigatorAction::Edit);
    EXPECT_TRUE(w.window.close());
    EXPECT_EQ(closings, 2);
    EXPECT_EQ(w.model->state(), LibraryEditState::Browse);
}

namespace
{

// A write the database refuses is shown with its text; the window stays open with the edit.
void expectRefusedWriteKeepsEverything(LibraryWindow& w, const QString& reason)
{
    const std::vector<RegexLibraryEntry> before = w.resources.library();
    int closings = 0;
    QObject::connect(&w.window, &TTFormRegExLibrary::closed, [&] { ++closings; });
    w.type(1, 0, "Typed and kept");
    w.type(1, RegexLibraryModel::ColumnPattern, "kept+");

    w.prompter.expectError(reason);
    w.click(NavigatorAction::Post);
    w.prompter.expectError(reason);
    w.click(NavigatorAction::Next);
    w.prompter.expectError(reason);
    w.choose(5);
    w.prompter.expectError(reason);
    EXPECT_FALSE(w.window.close());

    EXPECT_TRUE(w.window.isVisible());
    EXPECT_EQ(closings, 0);
    EXPECT_EQ(w.gridRow(), 1);
    EXPECT_EQ(w.model->state(), LibraryEditState::Edit);
    EXPECT_EQ(w.cell(1, 0), "Typed and kept");
    EXPECT_EQ(w.cell(1, 1), "kept+");
    EXPECT_EQ(w.resources.library(), before);

    w.prompter.expectError(reason);
    w.prompter.expectConfirm(true, "Delete record?");
    w.prompter.expectError(reason);
    w.click(NavigatorAction::Insert); // must post the edit first
    w.click(NavigatorAction::Delete);
    EXPECT_EQ(w.model->rowCount(), int(before.size()));
    EXPECT_TRUE(w.prompter.allUsed()) << w.prompter.asked.join(" | ").toStdString();
}

} // namespace

TEST(FormRegExLibrary, RefusedWriteIsShownAndNothingIsLost)
{
    LibraryWindow w;
    // Any writer's refusal, whoever runs the test (root writes read-only files).
    const QString reason = QStringLiteral("the library is closed for maintenance");
    SqlcipherCli::exec(w.resources.path("data.db"),
        QStringLiteral(
            "create trigger no_update before update on regex_library begin select raise(abort, '%1'); end;\n"
            "create trigger no_delete before delete on regex_library begin select raise(abort, '%1'); end;\n")
            .arg(reason));
    expectRefusedWriteKeepsEverything(w, reason);

    // Once the file takes writes again, closing posts the very edit.
    SqlcipherCli::exec(w.resources.path("data.db"), QStringLiteral("drop trigger no_update;\n"));
    EXPECT_TRUE(w.window.close());
    EXPECT_TRUE(descriptions(w.resources.library()).contains("Typed and kept"));
}

TEST(FormRegExLibrary, ReadOnlyLibraryFileIsShownAndNothingIsLost)
{
    LibraryWindow w;
    const QString db = w.resources.path("data.db");
    QFile::setPermissions(db, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile probe(db);
    if (probe.open(QIODevice::ReadWrite)) {
        probe.close();
        QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
        GTEST_SKIP() << "this user (root?) can write a read-only file; the refusal is covered by "
                        "RefusedWriteIsShownAndNothingIsLost";
    }
    expectRefusedWriteKeepsEverything(w, QStringLiteral("readonly database"));
    QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
}

TEST(FormRegExLibrary, TestPaneGivesWhatTheCollectorGives)
{
    LibraryWindow w;
    RegexTestPane& pane = w.pane();
    ASSERT_TRUE(pane.RadioTestExample->isChecked());
    const std::vector<RegexLibraryEntry> shipped = w.workspace.library().entries();
    ASSERT_FALSE(shipped.empty());
    for (int r = 0; r < int(shipped.size()); ++r) {
        const RegexLibraryEntry& e = shipped[std::size_t(r)];
        SCOPED_TRACE(e.description.value_or("<NULL>").toStdString());
        w.choose(r);
        EXPECT_EQ(pane.MemoTestText->toPlainText(), e.example.value_or(QString()));
        for (const bool unique : { false, true }) {
            pane.ChkTestRemoveDuplicated->setChecked(unique);
            const Collected shown = paneShows(pane);
            EXPECT_EQ(shown, collector(e.example.value_or(QString()), e, unique));
            EXPECT_GT(shown.count, 0);
            EXPECT_EQ(
                pane.resultText(), shown.count == 1 ? "1 match" : QStringLiteral("%1 matches").arg(shown.count));
        }
    }
    pane.ChkTestRemoveDuplicated->setChecked(false);

    // A template entry typed in the grid is tried as it is typed, before it is posted.
    w.click(NavigatorAction::Insert);
    const int row = w.gridRow();
    w.type(row, RegexLibraryModel::ColumnPattern, "<b>(.*?)</b>");
    w.type(row, RegexLibraryModel::ColumnReplacement, "[\\U1]");
    w.type(row, RegexLibraryModel::ColumnExample, "<b>x</b> <b>y</b> <b>x</b>");
    EXPECT_TRUE(pane.isTrialPending()); // the trial waits for a pause in the typing
    EXPECT_EQ(paneShows(pane), (Collected { 3, { "[X]", "[Y]", "[X]" } }));
    pane.ChkTestRemoveDuplicated->setChecked(true);
    EXPECT_EQ(paneShows(pane), (Collected { 2, { "[X]", "[Y]" } }));
    EXPECT_EQ(paneShows(pane), collector("<b>x</b> <b>y</b> <b>x</b>", *w.model->currentEntry(), true));

    // A pattern that does not compile says why; the collector gives nothing for it.
    w.type(row, RegexLibraryModel::ColumnPattern, "<b>(.*?</b>");
    EXPECT_EQ(paneShows(pane), (Collected {}));
    EXPECT_EQ(pane.resultText(), "The pattern does not compile: missing closing parenthesis at offset 11");
    w.window.ActionSetToNull->trigger(); // the pattern cell is current
    paneShows(pane);
    EXPECT_EQ(pane.resultText(), "The entry has no pattern to try");

    // Own text: typing over the example switches to it, and it stays when the entry changes.
    w.type(row, RegexLibraryModel::ColumnPattern, "(\\d+)");
    pane.MemoTestText->setPlainText("1 22 333");
    EXPECT_TRUE(pane.RadioTestOwnText->isChecked());
    EXPECT_EQ(paneShows(pane), (Collected { 3, { "[1]", "[22]", "[333]" } }));
    w.click(NavigatorAction::Cancel);
    EXPECT_EQ(pane.MemoTestText->toPlainText(), "1 22 333");
    pane.RadioTestExample->setChecked(true);
    EXPECT_EQ(pane.MemoTestText->toPlainText(), w.model->currentEntry()->example.value_or(QString()));
}

TEST(FormRegExLibrary, TestPaneFetchesAPageAsARunWould)
{
    LibraryWindow w;
    std::mutex mutex;
    std::string identity; // what the last request carried
    TestHttpServer server;
    server.get("/page", [&](const httplib::Request& req, httplib::Response& res) {
        const std::lock_guard lock(mutex);
        identity = req.get_header_value("User-Agent") + "|" + req.get_header_value("Referer");
        res.set_content("<h1>Fetched heading</h1>\n<p>text</p>", "text/html; charset=utf-8");
    });
    server.serve("/missing", "gone", 404);
    server.start();
    // One referer and one user agent, so the draw is known.
    w.resources.dir.write("referers.txt", "https://referer.example/\r\n");
    w.resources.dir.write("user_agents.txt", "TestAgent/1.0\r\n");
    w.workspace.ReloadSettingsList();

    RegexTestPane& pane = w.pane();
    const int h1 = w.workspace.library().findByDescription("Headings h1").value_or(-1);
    ASSERT_GE(h1, 0);
    w.choose(h1);
    pane.TextFieldTestUrl->setText(QString::fromStdString(server.baseUrl() + "/page"));
    pane.ButtonFetchClick();
    EXPECT_TRUE(pane.isFetching());
    EXPECT_FALSE(pane.ButtonTestFetch->isEnabled());
    ASSERT_TRUE(spinUntil([&] { return !pane.isFetching(); })) << pane.LabelFetchStatus->text().toStdString();
    {
        const std::lock_guard lock(mutex);
        EXPECT_EQ(identity, "TestAgent/1.0|https://referer.example/");
    }
    EXPECT_TRUE(pane.RadioTestOwnText->isChecked());
    EXPECT_EQ(pane.MemoTestText->toPlainText(), "<h1>Fetched heading</h1>\n<p>text</p>");
    EXPECT_EQ(paneShows(pane), (Collected { 1, { "Fetched heading" } }));

    // A failed fetch says why and leaves the text alone.
    pane.TextFieldTestUrl->setText(QString::fromStdString(server.baseUrl() + "/missing"));
    pane.ButtonFetchClick();
    ASSERT_TRUE(spinUntil([&] { return !pane.isFetching(); }));
    EXPECT_EQ(pane.LabelFetchStatus->text(), "Fetch failed: HTTP 404");
    EXPECT_EQ(pane.MemoTestText->toPlainText(), "<h1>Fetched heading</h1>\n<p>text</p>");

    // With "Enable proxies" and no proxy, a run would not fetch, and neither does the pane.
    w.resources.dir.write("proxies.txt", "");
    w.workspace.ReloadSettingsList();
    w.workspace.settings().EnableProxies = true;
    pane.ButtonFetchClick();
    EXPECT_FALSE(pane.isFetching());
    EXPECT_EQ(pane.LabelFetchStatus->text(), "no proxy: \"proxies.txt\" is empty");
}

TEST(FormRegExLibrary, WindowEndsAfterAFetchStillGoing)
{
    std::atomic<bool> released { false };
    TestHttpServer server;
    server.get("/slow", [&released](const httplib::Request&, httplib::Response& res) {
        // Bounded, so a failing test cannot hang on it.
        for (int i = 0; i < 10000 && !released; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        res.set_content("late", "text/plain");
    });
    server.start();
    {
        LibraryWindow w;
        w.pane().TextFieldTestUrl->setText(QString::fromStdString(server.baseUrl() + "/slow"));
        w.pane().ButtonFetchClick();
        ASSERT_TRUE(w.pane().isFetching());
        EXPECT_TRUE(w.window.close()); // closing only hides: the fetch goes on
        released = true;
    } // the window waits for the fetch; its page is never handed to a window that is gone
    server.stop();
}
