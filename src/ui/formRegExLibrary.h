#pragma once

#include "library/LibraryNavigator.h"

#include <QWidget>

#include <array>
#include <functional>

class Prompter;
class QAction;
class QSplitter;
class QTableView;
class QToolBar;
class RegexLibraryModel;
class RegexTestPane;
class Workspace;

// The regex library window: a navigator bar over a grid of the library's entries, bound to the
// workspace's store through RegexLibraryModel, and a pane that tries the current entry on a text.
// Closing only hides it; the open edit is settled first (posted when changed), and when the post
// fails the error is shown and the window stays open with the edit. Every question and error goes
// through the Prompter.
// Thread affinity: the UI thread.
class TTFormRegExLibrary : public QWidget
{
    Q_OBJECT
public:
    // The window is a window of its own even with a parent (the parent only ties their lifetimes).
    TTFormRegExLibrary(Workspace& workspace, Prompter& prompter, QWidget* parent = nullptr);
    ~TTFormRegExLibrary() override;

    // Edit RegEx: shows the window without making it modal. The first time binds the grid to the
    // library, which fills it.
    void showModeless();
    bool isBound() const { return m_model != nullptr; }

    // What closing does before hiding: posts a changed edit (on failure shows the error and
    // returns false, the edit kept), drops an unchanged one.
    bool settleEdit();

    // A navigator button, as clicking it does: nothing when the button is disabled.
    void NavigatorClick(NavigatorAction action);
    // The grid's context action: the current cell becomes NULL.
    void SetToNullClick();

    // Binds first when not bound yet.
    RegexLibraryModel& model();
    QAction* navigatorAction(NavigatorAction action) const { return m_actions[std::size_t(action)]; }

    QToolBar* NavigatorBindSourceDB1;
    QSplitter* SplitterLibrary;
    QTableView* GridBindSourceDB1;
    QAction* ActionSetToNull;
    RegexTestPane* PanelRegexTest;

Q_SIGNALS:
    // The window was closed (hidden) with its edit settled: the main window reloads its selector.
    void closed();
    // A change was written to the library.
    void libraryChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void bind();
    // Runs a change of the model that the grid must not answer by moving the cursor itself.
    bool runOnModel(const std::function<void()>& change);
    void closeCellEditor();
    void syncGridToModel();
    void gridRowChosen(int row);
    void updateNavigator();
    void updateTestEntry();

    Workspace& m_workspace;
    Prompter& m_prompter;
    RegexLibraryModel* m_model = nullptr; // a child, made when first bound
    std::array<QAction*, NavigatorActionCount> m_actions {};
    bool m_busy = false;
};
