#include "ui/FindDialog.h"
#include "ScriptedPrompter.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "ui/QsciInclude.h"
#include "ui/formTextEditor.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace
{

// The search runs on the editor's own text, through the dialog's controls and handlers; neither
// window is shown.
class Find : public ::testing::Test
{
protected:
    ScriptedPrompter prompter;
    TTFormTextEditor editor { prompter };
    FindDialog& dialog = editor.findDialog();
    TempDir dir;

    void SetUp() override
    {
        // Lines 0 to 3.
        const QString path = dir.write("f.txt", "Alpha beta alphabet\r\nBETA alpha\r\ngamma beta\r\nalpha_x\r\n");
        editor.currentFilename = path;
        editor.LoadFromFile(path);
    }

    // Searches for text with the options, by the Find (or Previous) button.
    bool find(const QString& text, const FindOptions& options, bool previous = false)
    {
        dialog.EditFindWhat->setText(text);
        dialog.setOptions(options);
        return previous ? dialog.BtnPreviousClick() : dialog.BtnFindClick();
    }

    // The selection as "line:index text" (the caret when nothing is selected).
    std::string selection()
    {
        int lineFrom = 0, indexFrom = 0, lineTo = 0, indexTo = 0;
        editor.memo().getSelection(&lineFrom, &indexFrom, &lineTo, &indexTo);
        if (!editor.memo().hasSelectedText())
            editor.memo().getCursorPosition(&lineFrom, &indexFrom);
        return QStringLiteral("%1:%2 %3")
            .arg(lineFrom)
            .arg(indexFrom)
            .arg(editor.memo().selectedText())
            .toStdString();
    }

    void expectNotFound() { prompter.expectMessage(FindDialog::notFoundMessage()); }
};

FindOptions options(std::initializer_list<bool FindOptions::*> on)
{
    FindOptions o;
    for (bool FindOptions::*flag : on)
        o.*flag = true;
    return o;
}

} // namespace

TEST_F(Find, DialogTextsAndTheMoreLessToggle)
{
    EXPECT_EQ(dialog.windowTitle(), "Find");
    const QLabel* label = dialog.findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Find what:");
    EXPECT_EQ(label->buddy(), dialog.EditFindWhat);

    QStringList checks;
    for (const QCheckBox* c : dialog.findChildren<QCheckBox*>())
        checks << c->text();
    checks.sort();
    EXPECT_EQ(checks,
        QStringList({ "Case sensitive", "Close if Found", "Continue to next file", "Expression", "Selection",
            "Whole word Only", "Wrap at the end of file" }));
    QStringList buttons;
    for (const QPushButton* b : dialog.findChildren<QPushButton*>())
        buttons << b->text();
    EXPECT_EQ(buttons, QStringList({ "Find", "Previous", "Set Marker", "Close", "More" }));
    const QGroupBox* direction = dialog.findChild<QGroupBox*>();
    ASSERT_NE(direction, nullptr);
    EXPECT_EQ(direction->title(), "Direction");
    EXPECT_EQ(dialog.RadioUp->text(), "Up");
    EXPECT_EQ(dialog.RadioDown->text(), "Down");
    EXPECT_TRUE(dialog.RadioDown->isChecked());

    // One file only: the option is there but cannot be chosen.
    EXPECT_FALSE(dialog.ChkNextFile->isEnabled());
    EXPECT_FALSE(dialog.ChkNextFile->isHidden());

    EXPECT_FALSE(dialog.isExpanded());
    dialog.BtnMoreClick();
    EXPECT_TRUE(dialog.isExpanded());
    EXPECT_EQ(dialog.BtnMore->text(), "Less");
    dialog.BtnMoreClick();
    EXPECT_FALSE(dialog.isExpanded());
    EXPECT_EQ(dialog.BtnMore->text(), "More");

    // Nothing to search for: the search buttons wait for a text.
    EXPECT_FALSE(dialog.BtnFind->isEnabled());
    dialog.EditFindWhat->setText(QStringLiteral("a"));
    EXPECT_TRUE(
        dialog.BtnFind->isEnabled() && dialog.BtnPrevious->isEnabled() && dialog.BtnSetMarker->isEnabled());
}

TEST_F(Find, CaseWholeWordAndExpression)
{
    struct Case {
        const char* name;
        QString text;
        FindOptions options;
        std::vector<std::string> matches; // successive Find clicks from the top, until not found
    };
    const Case cases[] = {
        { "any case", "alpha", {}, { "0:0 Alpha", "0:11 alpha", "1:5 alpha", "3:0 alpha" } },
        { "case sensitive", "Alpha", options({ &FindOptions::caseSensitive }), { "0:0 Alpha" } },
        { "whole word", "alpha", options({ &FindOptions::wholeWord }), { "0:0 Alpha", "1:5 alpha" } },
        { "case and whole word", "BETA", options({ &FindOptions::caseSensitive, &FindOptions::wholeWord }),
            { "1:0 BETA" } },
        { "expression", "[bg][aem]+[tm]a", options({ &FindOptions::regularExpression }),
            { "0:6 beta", "1:0 BETA", "2:0 gamma", "2:6 beta" } },
        { "expression anchored at line start", "^al", options({ &FindOptions::regularExpression }),
            { "0:0 Al", "3:0 al" } },
        { "text that looks like an expression is plain text", "a.p", {}, {} },
        { "a broken expression finds nothing", "(a[", options({ &FindOptions::regularExpression }), {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        editor.memo().setCursorPosition(0, 0);
        std::vector<std::string> found;
        expectNotFound();
        while (find(c.text, c.options) && found.size() < 10)
            found.push_back(selection());
        EXPECT_EQ(found, c.matches);
        EXPECT_TRUE(prompter.allUsed());
    }
}

TEST_F(Find, WrapDirectionAndPrevious)
{
    // Without wrap the end of the text ends the search, and the last match stays selected.
    editor.memo().setCursorPosition(2, 0);
    const FindOptions plain;
    ASSERT_TRUE(find("beta", plain));
    EXPECT_EQ(selection(), "2:6 beta");
    expectNotFound();
    EXPECT_FALSE(find("beta", plain));
    EXPECT_EQ(selection(), "2:6 beta");

    // With wrap it goes on from the top.
    const FindOptions wrap = options({ &FindOptions::wrap });
    ASSERT_TRUE(find("beta", wrap));
    EXPECT_EQ(selection(), "0:6 beta");

    // Previous searches the other way from the match shown.
    ASSERT_TRUE(find("beta", wrap, true));
    EXPECT_EQ(selection(), "2:6 beta");
    ASSERT_TRUE(find("beta", wrap, true));
    EXPECT_EQ(selection(), "1:0 BETA");

    // Direction Up: Find goes backwards and Previous forwards.
    FindOptions up;
    up.forward = false;
    ASSERT_TRUE(find("beta", up));
    EXPECT_EQ(selection(), "0:6 beta");
    expectNotFound();
    EXPECT_FALSE(find("beta", up));
    ASSERT_TRUE(find("beta", up, true));
    EXPECT_EQ(selection(), "1:0 BETA");
}

TEST_F(Find, InTheSelectionOnly)
{
    // Lines 1 and 2 selected: the matches in them, then not found, and the selection comes back.
    editor.memo().setSelection(1, 0, 2, 10);
    const FindOptions scope = options({ &FindOptions::inSelection, &FindOptions::wrap });
    ASSERT_TRUE(find("beta", scope));
    EXPECT_EQ(selection(), "1:0 BETA");
    ASSERT_TRUE(find("beta", scope));
    EXPECT_EQ(selection(), "2:6 beta");
    expectNotFound();
    EXPECT_FALSE(find("beta", scope));
    EXPECT_EQ(selection(), "1:0 BETA alpha\ngamma beta");

    // Backwards through the same selection.
    FindOptions up = scope;
    up.forward = false;
    ASSERT_TRUE(find("beta", up));
    EXPECT_EQ(selection(), "2:6 beta");
    ASSERT_TRUE(find("beta", up));
    EXPECT_EQ(selection(), "1:0 BETA");
}

TEST_F(Find, SetMarkerMarksEveryLineWithAMatch)
{
    const auto marked = [this] {
        std::vector<int> lines;
        for (int line = 0; line < editor.memo().lines(); ++line)
            if (editor.memo().markersAtLine(line) & (1u << EditorFinder::MarkerNumber))
                lines.push_back(line);
        return lines;
    };
    editor.memo().setCursorPosition(1, 2);
    dialog.EditFindWhat->setText(QStringLiteral("beta"));
    ASSERT_TRUE(dialog.BtnSetMarkerClick());
    EXPECT_EQ(marked(), std::vector<int>({ 0, 1, 2 }));
    // The caret stays where it was.
    EXPECT_EQ(selection(), "1:2 ");

    // Case sensitive "alpha" in a selection of lines 2 and 3 marks line 3 only.
    editor.memo().setSelection(2, 0, 3, 7);
    dialog.EditFindWhat->setText(QStringLiteral("alpha"));
    dialog.setOptions(options({ &FindOptions::inSelection, &FindOptions::caseSensitive }));
    ASSERT_TRUE(dialog.BtnSetMarkerClick());
    EXPECT_EQ(marked(), std::vector<int>({ 0, 1, 2, 3 }));

    // An expression that matches empty text ends all the same.
    dialog.EditFindWhat->setText(QStringLiteral("x*"));
    dialog.setOptions(options({ &FindOptions::regularExpression }));
    EXPECT_TRUE(dialog.BtnSetMarkerClick());

    expectNotFound();
    dialog.EditFindWhat->setText(QStringLiteral("delta"));
    dialog.setOptions({});
    EXPECT_FALSE(dialog.BtnSetMarkerClick());

    // A new file starts without markers.
    editor.LoadFromFile(editor.currentFilename);
    EXPECT_TRUE(marked().empty());
}

TEST_F(Find, CloseIfFoundAndTheToolbarButton)
{
    editor.BtnFindClick();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_TRUE(find("gamma", {}));
    EXPECT_TRUE(dialog.isVisible());
    dialog.ChkCloseIfFound->setChecked(true);
    ASSERT_TRUE(find("beta", {}));
    EXPECT_FALSE(dialog.isVisible());

    // Not found keeps it open, with the message.
    editor.BtnFindClick();
    expectNotFound();
    EXPECT_FALSE(find("delta", {}));
    EXPECT_TRUE(dialog.isVisible());
    dialog.BtnClose->click();
    EXPECT_FALSE(dialog.isVisible());
}
