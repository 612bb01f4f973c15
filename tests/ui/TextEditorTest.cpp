#include "ScriptedPrompter.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "support/TextBytes.h"
#include "text/EditorFile.h"
#include "ui/QsciInclude.h"
#include "ui/formTextEditor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QKeyEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace
{

class TextEditor : public ::testing::Test
{
protected:
    // The prompter outlives the window that asks it.
    ScriptedPrompter prompter;
    TTFormTextEditor editor { prompter };
    TempDir dir;
    int closed = 0;

    void SetUp() override
    {
        QObject::connect(&editor, &QDialog::finished, [this] { ++closed; });
    }

    QString load(const QByteArray& bytes)
    {
        const QString path = dir.write(QStringLiteral("f.txt"), bytes);
        editor.currentFilename = path;
        editor.LoadFromFile(path);
        return path;
    }

    // What the user's keyboard does: a key press the editor handles itself.
    void type(const QString& text)
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(&editor.memo(), &press);
        }
    }

    // Which of Cut, Copy, Undo and Redo are enabled.
    std::string enabled() const
    {
        std::string s;
        s += editor.BtnCut->isEnabled() ? "cut " : "";
        s += editor.BtnCopy->isEnabled() ? "copy " : "";
        s += editor.BtnUndo->isEnabled() ? "undo " : "";
        s += editor.BtnRedo->isEnabled() ? "redo " : "";
        return s;
    }
};

} // namespace

TEST_F(TextEditor, WindowToolbarAndEditorSettings)
{
    EXPECT_EQ(editor.windowTitle(), "Text Editor");
    EXPECT_EQ(editor.size(), QSize(640, 480));
    EXPECT_EQ(editor.ToolBar1->height(), 40);

    // Seven image-only buttons, left to right.
    const QList<QWidget*> expected { editor.BtnSave, editor.BtnCut, editor.BtnCopy, editor.BtnPaste,
        editor.BtnUndo, editor.BtnRedo, editor.BtnFind };
    QList<QWidget*> order;
    for (QAction* a : editor.ToolBar1->actions())
        order.append(editor.ToolBar1->widgetForAction(a));
    EXPECT_EQ(order, expected);
    for (const QToolButton* b : { editor.BtnSave, editor.BtnCut, editor.BtnCopy, editor.BtnPaste, editor.BtnUndo,
             editor.BtnRedo, editor.BtnFind }) {
        SCOPED_TRACE(b->accessibleName().toStdString());
        EXPECT_TRUE(b->text().isEmpty() && b->toolTip().isEmpty());
        EXPECT_FALSE(b->icon().pixmap(32).isNull()) << "the picture is missing from the resources";
        EXPECT_EQ(b->size(), QSize(32, 40));
    }

    QsciScintilla& memo = editor.memo();
    EXPECT_TRUE(QFontInfo(memo.font()).fixedPitch());
    EXPECT_EQ(memo.tabWidth(), 4);
    EXPECT_EQ(memo.lexer(), nullptr);
    EXPECT_FALSE(memo.isReadOnly());
    EXPECT_EQ(memo.braceMatching(), QsciScintilla::NoBraceMatch);
    EXPECT_FALSE(memo.SendScintilla(QsciScintillaBase::SCI_GETCARETLINEVISIBLE));

    // An empty editor: nothing to cut, copy, undo or redo; Save, Paste and Find always enabled.
    EXPECT_EQ(enabled(), "");
    EXPECT_TRUE(editor.BtnSave->isEnabled() && editor.BtnPaste->isEnabled() && editor.BtnFind->isEnabled());
}

TEST_F(TextEditor, ClipboardAndUndoButtonsFollowTheEditor)
{
    load("abc\r\ndef\r\n");
    EXPECT_EQ(enabled(), "");

    editor.memo().setSelection(0, 0, 0, 2);
    EXPECT_EQ(enabled(), "cut copy ");
    editor.memo().setCursorPosition(1, 0);
    EXPECT_EQ(enabled(), "");

    // Two steps of typing (the caret moved between them).
    type(QStringLiteral("xy"));
    editor.memo().setCursorPosition(0, 0);
    type(QStringLiteral("z"));
    EXPECT_EQ(editor.memo().text(), "zabc\nxydef\n");
    EXPECT_EQ(enabled(), "undo ");
    while (editor.BtnUndo->isEnabled())
        editor.BtnUndoClick();
    EXPECT_EQ(editor.memo().text(), "abc\ndef\n");
    EXPECT_EQ(enabled(), "redo ");
    editor.BtnRedoClick();
    EXPECT_EQ(enabled(), "undo redo ");

    // Read-only text can be copied, not cut.
    editor.memo().setReadOnly(true);
    editor.memo().selectAll();
    EXPECT_EQ(enabled(), "copy undo redo ");
    editor.memo().setReadOnly(false);

    // Another file starts with nothing to undo or redo, and the caret at the start.
    load("other\tfile\r\n");
    EXPECT_EQ(enabled(), "");
    EXPECT_EQ(editor.memo().text(), "other    file\n");
    int line = -1, index = -1;
    editor.memo().getCursorPosition(&line, &index);
    EXPECT_EQ(line, 0);
    EXPECT_EQ(index, 0);
}

TEST_F(TextEditor, CutCopyPasteGoThroughTheClipboard)
{
    load("one two\r\n");
    editor.memo().setSelection(0, 0, 0, 4);
    editor.BtnCutClick();
    EXPECT_EQ(editor.memo().text(), "two\n");
    editor.memo().setCursorPosition(0, 3);
    editor.BtnPasteClick();
    EXPECT_EQ(editor.memo().text(), "twoone \n");
    editor.memo().setSelection(0, 0, 0, 3);
    editor.BtnCopyClick();
    editor.memo().setCursorPosition(0, 0);
    editor.BtnPasteClick();
    EXPECT_EQ(editor.memo().text(), "twotwoone \n");
}

TEST_F(TextEditor, UneditedFilesSaveByteForByteThroughTheEditor)
{
    const QString text = QString::fromUtf8("caf\u00e9 \u20ac \U0001F600\r\n\r\nx||a(\\d+)||$1\r\n\r\n");
    const QByteArray cases[] = {
        "\xEF\xBB\xBF" + text.toUtf8(),
        utf16WithMark(text, true),
        utf16WithMark(text, false),
        text.toUtf8(),
        // Windows-1252, its five undefined bytes and the no-break space included.
        "caf\xE9 \x80\r\n\x81\x8D\x8F\x90\x9D\xA0x\xFF\r\n",
        "",
        // A NUL byte is text like any other: nothing after it may be lost.
        QByteArray("a\0b\r\nc\r\n", 8),
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(bytes.toHex(' ').toStdString());
        const QString path = load(bytes);
        ASSERT_TRUE(editor.BtnSaveClick());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll().toHex(' '), bytes.toHex(' '));
    }
}

TEST_F(TextEditor, SaveStripsTrailingBlanksAndTellsOnceWhenWindows1252NoLongerFits)
{
    const QString path = load("caf\xE9\tx  \r\nlast");
    editor.memo().append(QStringLiteral("\u20ac \t\n"));
    ASSERT_TRUE(editor.BtnSaveClick());
    EXPECT_EQ(dir.read("f.txt"), "caf\xE9    x\r\nlast\r\n\x80\r\n");

    editor.memo().append(QStringLiteral("\u2192\n"));
    prompter.expectMessage(TTFormTextEditor::encodingChangedMessage(path));
    ASSERT_TRUE(editor.BtnSaveClick());
    EXPECT_EQ(dir.read("f.txt"),
        "\xEF\xBB\xBF" + QString::fromUtf8("caf\u00e9    x\r\nlast\r\n\u20ac\r\n\u2192\r\n").toUtf8());
    EXPECT_EQ(editor.encoding(), TextEncoding::Utf8Bom);
    // Told once: the next save is silent (the prompter fails on any message not expected).
    ASSERT_TRUE(editor.BtnSaveClick());
    EXPECT_TRUE(prompter.allUsed());
}

TEST_F(TextEditor, EveryCloseAsksAndNoKeepsTheFile)
{
    const QString path = load("a\r\n");
    editor.memo().append(QStringLiteral("b\n"));
    prompter.expectConfirm(false, QStringLiteral("Save file?"));
    editor.reject();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(dir.read("f.txt"), "a\r\n");

    // Asked again after an explicit save; No keeps that save.
    ASSERT_TRUE(editor.BtnSaveClick());
    editor.memo().append(QStringLiteral("c\n"));
    prompter.expectConfirm(false, QStringLiteral("Save file?"));
    editor.reject();
    EXPECT_EQ(dir.read("f.txt"), "a\r\nb\r\n");

    prompter.expectConfirm(true, QStringLiteral("Save file?"));
    editor.accept();
    EXPECT_EQ(closed, 3);
    EXPECT_EQ(dir.read("f.txt"), "a\r\nb\r\nc\r\n");
}

TEST_F(TextEditor, AFailedSaveReportsTheFileAndKeepsTheWindowAndText)
{
    load("kept\r\n");
    editor.memo().append(QStringLiteral("edit\n"));
    const QString gone = dir.path(QStringLiteral("gone/f.txt"));
    editor.currentFilename = gone;

    prompter.expectError(QStringLiteral("Cannot create file \"%1\". ").arg(gone));
    EXPECT_FALSE(editor.BtnSaveClick());

    // Yes at closing with a save that fails: the error, and the window stays open with the text.
    prompter.expectConfirm(true, QStringLiteral("Save file?"));
    prompter.expectError(QStringLiteral("Cannot create file \"%1\". ").arg(gone));
    editor.reject();
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(editor.memo().text(), "kept\nedit\n");
    prompter.expectConfirm(false, QStringLiteral("Save file?"));
    editor.reject();
    EXPECT_EQ(closed, 1);
}

TEST_F(TextEditor, SaveIntoAReadOnlyFolderLeavesTheFile)
{
    const QString path = load("before\r\n");
    QFile::Permissions folder = QFile::permissions(dir.dir().path());
    ASSERT_TRUE(QFile::setPermissions(dir.dir().path(), QFile::ReadOwner | QFile::ExeOwner));
    struct Restore {
        QString path;
        QFile::Permissions p;
        ~Restore() { QFile::setPermissions(path, p); }
    } restore { dir.dir().path(), folder };
    // The superuser writes into read-only folders; the missing-folder case above covers the error then.
    QFile probe(dir.path(QStringLiteral("probe")));
    if (probe.open(QIODevice::WriteOnly))
        GTEST_SKIP() << "a read-only folder is writable for this user (root)";

    editor.memo().append(QStringLiteral("after\n"));
    prompter.expectError(QStringLiteral("Cannot create file \"%1\". ").arg(path));
    EXPECT_FALSE(editor.BtnSaveClick());
    EXPECT_EQ(dir.read("f.txt"), "before\r\n");
    EXPECT_EQ(editor.memo().text(), "before\nafter\n");
}

TEST_F(TextEditor, ShowModalRunsUntilTheWindowCloses)
{
    // The real modal loop, closed the way the window's close button does it.
    const QString path = dir.write(QStringLiteral("f.txt"), "x\r\n");
    QTimer::singleShot(0, &editor, [this] {
        EXPECT_TRUE(editor.isVisible());
        editor.memo().append(QStringLiteral("y\n"));
        prompter.expectConfirm(true, QStringLiteral("Save file?"));
        editor.close();
    });
    editor.editFile(path);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(dir.read("f.txt"), "x\r\ny\r\n");
}
