#include "ui/SettingsCommands.h"
#include "ScriptedPrompter.h"
#include "app/Workspace.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "ui/QsciInclude.h"
#include "ui/formTextEditor.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace
{

// The commands run against a workspace on a temporary resources folder and the real editor window,
// whose modal show is replaced by a script standing in for the user.
class EditCommands : public ::testing::Test
{
protected:
    ScriptedPrompter prompter;
    TempDir dir;
    Workspace workspace { dir.dir().path() };
    TTFormTextEditor editor { prompter };
    int shown = 0;

    void SetUp() override
    {
        dir.write("proxies.txt", "h1:1\r\n");
        dir.write("referers.txt", "http://r1/\r\nhttp://r2/\r\n");
        dir.write("user_agents.txt", "UA1\r\n");
        workspace.ReloadSettingsList();
    }

    // While "shown", the user does what script says; the window must be closed by it.
    void whenShown(const std::function<void(TTFormTextEditor&)>& script)
    {
        editor.setModalRunner([this, script](TTFormTextEditor& e) {
            ++shown;
            script(e);
        });
    }

    void closeAnswering(TTFormTextEditor& e, bool save)
    {
        prompter.expectConfirm(save, QStringLiteral("Save file?"));
        e.reject();
    }

    QStringList column(int c) const
    {
        QStringList cells;
        for (int r = 0; r < workspace.rows().rowCount(); ++r)
            cells << workspace.rows().cell(r, c);
        return cells;
    }
};

} // namespace

TEST_F(EditCommands, AMissingIdentityFileIsNamedAndNothingChanges)
{
    struct Case {
        IdentityKind kind;
        const char* message;
    };
    const Case cases[] = {
        { IdentityKind::Proxies, "File proxies.txt must be present in folder resources" },
        { IdentityKind::Referers, "File referers.txt must be present in folder resources" },
        { IdentityKind::UserAgents, "File user_agents.txt must be present in folder resources" },
    };
    whenShown([](TTFormTextEditor&) { ADD_FAILURE() << "the editor opened on a missing file"; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const IdentityList before = workspace.lists().list(c.kind);
        ASSERT_TRUE(QFile::remove(dir.path(identityFileName(c.kind))));
        prompter.expectMessage(QString::fromLatin1(c.message));
        editIdentityList(workspace, prompter, editor, c.kind);
        EXPECT_EQ(workspace.lists().list(c.kind), before);
        // A folder of that name is no file either.
        ASSERT_TRUE(QDir(dir.dir().path()).mkdir(identityFileName(c.kind)));
        prompter.expectMessage(QString::fromLatin1(c.message));
        editIdentityList(workspace, prompter, editor, c.kind);
        EXPECT_TRUE(prompter.allUsed());
    }
}

TEST_F(EditCommands, TheListIsReadAgainAfterTheEditorClosesWhateverTheAnswer)
{
    const QString path = dir.path("referers.txt");
    // Yes: the edits are saved and the list holds them.
    whenShown([&](TTFormTextEditor& e) {
        EXPECT_EQ(e.currentFilename, path);
        EXPECT_EQ(e.memo().text(), "http://r1/\nhttp://r2/\n");
        e.memo().append(QStringLiteral("http://r3/  \n"));
        closeAnswering(e, true);
    });
    editIdentityList(workspace, prompter, editor, IdentityKind::Referers);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(*workspace.lists().ListReferers(), QStringList({ "http://r1/", "http://r2/", "http://r3/" }));
    EXPECT_EQ(dir.read("referers.txt"), "http://r1/\r\nhttp://r2/\r\nhttp://r3/\r\n");

    // No: the file stays, and the list is still read from disk (here changed behind the editor's back).
    whenShown([&](TTFormTextEditor& e) {
        e.memo().setText(QStringLiteral("discarded\n"));
        dir.write("referers.txt", "http://other/\r\n");
        closeAnswering(e, false);
    });
    editIdentityList(workspace, prompter, editor, IdentityKind::Referers);
    EXPECT_EQ(*workspace.lists().ListReferers(), QStringList({ "http://other/" }));
    // The other lists are not touched.
    EXPECT_EQ(*workspace.lists().ListProxies(), QStringList({ "h1:1" }));
    EXPECT_EQ(*workspace.lists().ListUserAgents(), QStringList({ "UA1" }));
}

TEST_F(EditCommands, AFailedReloadKeepsTheOldListAndShowsTheError)
{
    const QString path = dir.path("user_agents.txt");
    whenShown([&](TTFormTextEditor& e) {
        ASSERT_TRUE(QFile::remove(path));
        closeAnswering(e, false);
        prompter.expectError(path);
    });
    editIdentityList(workspace, prompter, editor, IdentityKind::UserAgents);
    EXPECT_EQ(*workspace.lists().ListUserAgents(), QStringList({ "UA1" }));
}

TEST_F(EditCommands, EditButtonNeedsAFile)
{
    whenShown([](TTFormTextEditor&) { ADD_FAILURE() << "the editor opened without a file"; });
    for (const QString& path :
        { QStringLiteral("Insert urls for extraction"), QString(), dir.dir().path(), dir.path("missing.txt") }) {
        SCOPED_TRACE(path.toStdString());
        prompter.expectMessage(QStringLiteral("No file selected"));
        EXPECT_FALSE(editUrlFile(workspace, prompter, editor, path));
    }
}

TEST_F(EditCommands, EditButtonRebuildsTheGridFromTheFileOnDisk)
{
    const QString path = dir.write("urls.txt", "http://a/||a(\\d)||$1\r\nhttp://b/||b\r\n");
    workspace.loadUrlFile(path);
    ASSERT_EQ(column(1), QStringList({ "a(\\d)", "b" }));

    // Yes: the saved lines become the rows; a line without a pattern leaves no old pattern behind.
    whenShown([&](TTFormTextEditor& e) {
        e.memo().setText(QStringLiteral("http://c/\nhttp://d/||d\n"));
        closeAnswering(e, true);
    });
    EXPECT_TRUE(editUrlFile(workspace, prompter, editor, path));
    EXPECT_EQ(column(0), QStringList({ "http://c/", "http://d/" }));
    EXPECT_EQ(column(1), QStringList({ "", "d" }));
    EXPECT_EQ(column(2), QStringList({ "", "" }));

    // No: the grid is still rebuilt from disk, which drops what was typed into its cells.
    workspace.rows().setCell(0, 1, QStringLiteral("typed"));
    whenShown([&](TTFormTextEditor& e) {
        e.memo().setText(QStringLiteral("not saved\n"));
        closeAnswering(e, false);
    });
    EXPECT_TRUE(editUrlFile(workspace, prompter, editor, path));
    EXPECT_EQ(column(0), QStringList({ "http://c/", "http://d/" }));
    EXPECT_EQ(column(1), QStringList({ "", "d" }));

    // Saved empty: the file has no line, and the grid keeps its rows.
    whenShown([&](TTFormTextEditor& e) {
        e.memo().setText(QString());
        closeAnswering(e, true);
    });
    EXPECT_TRUE(editUrlFile(workspace, prompter, editor, path));
    EXPECT_EQ(dir.read("urls.txt"), "");
    EXPECT_EQ(column(0), QStringList({ "http://c/", "http://d/" }));
}

TEST_F(EditCommands, EditButtonWithAnUnreadableFileReportsItAndKeepsTheGrid)
{
    const QString path = dir.write("urls.txt", "http://a/\r\n");
    workspace.loadUrlFile(path);
    whenShown([&](TTFormTextEditor& e) {
        ASSERT_TRUE(QFile::remove(path));
        closeAnswering(e, false);
        prompter.expectError(path);
    });
    EXPECT_FALSE(editUrlFile(workspace, prompter, editor, path));
    EXPECT_EQ(column(0), QStringList({ "http://a/" }));
}
