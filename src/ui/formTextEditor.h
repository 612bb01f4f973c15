#pragma once

#include "text/FileUtil.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class EditorFinder;
class FindDialog;
class Prompter;
class QsciScintilla;
class QToolBar;
class QToolButton;

// The text editor window, one instance reused for the URL file and the three identity lists.
// It never chooses a file: the caller sets currentFilename, loads the file, shows the window
// modally and reads the file back from disk after it has closed (editFile does all three).
// Every close asks "Save file?"; a save that fails keeps the window open with the text.
// Thread affinity: the UI thread.
class TTFormTextEditor : public QDialog
{
    Q_OBJECT
public:
    explicit TTFormTextEditor(Prompter& prompter, QWidget* parent = nullptr);
    ~TTFormTextEditor() override;

    // The file being edited: the only target of every save.
    QString currentFilename;

    // Loads the file (tabs as blanks, caret at the start, no undo history, no markers) and
    // remembers its encoding for the save. Throws FileError naming the file.
    void LoadFromFile(const QString& path);
    // Shows the window modally; returns once it has closed.
    void ShowModal();
    // The caller's protocol: set currentFilename, load, show modally.
    void editFile(const QString& path);

    // Replaces the modal loop of ShowModal, so tests drive the window through its API unshown.
    using ModalRunner = std::function<void(TTFormTextEditor&)>;
    void setModalRunner(ModalRunner runner);

    // The encoding the next save writes.
    TextEncoding encoding() const { return m_encoding; }
    static QString encodingChangedMessage(const QString& path);

    QsciScintilla& memo() { return *MemoEditor; }
    FindDialog& findDialog() { return *FindDialog1; }

    // Handlers. BtnSaveClick returns false when the save failed (its error was shown).
    bool BtnSaveClick();
    void BtnCutClick();
    void BtnCopyClick();
    void BtnPasteClick();
    void BtnUndoClick();
    void BtnRedoClick();
    void BtnFindClick();
    void UpdateClipboardButtons();
    void UpdateUndoButtons();
    // Asks "Save file?"; false when Yes was answered and the save failed, so the window stays open.
    bool FormClose();

    // Every way of closing (the close button, Escape, reject) comes through here.
    void done(int result) override;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* BtnSave = nullptr;
    QToolButton* BtnCut = nullptr;
    QToolButton* BtnCopy = nullptr;
    QToolButton* BtnPaste = nullptr;
    QToolButton* BtnUndo = nullptr;
    QToolButton* BtnRedo = nullptr;
    QToolButton* BtnFind = nullptr;

private:
    void FormCreate();
    QToolButton* addToolButton(const QString& image, const QString& name, const std::function<void()>& handler);

    Prompter& m_prompter;
    QsciScintilla* MemoEditor = nullptr;
    std::unique_ptr<EditorFinder> m_finder;
    FindDialog* FindDialog1 = nullptr;
    TextEncoding m_encoding = TextEncoding::AnsiUtf8;
    ModalRunner m_modalRunner;
};
