#include "ui/formTextEditor.h"

#include "text/EditorFile.h"
#include "ui/EditorFinder.h"
#include "ui/FindDialog.h"
#include "ui/Prompter.h"

#include "ui/QsciInclude.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{

constexpr int ToolBarHeight = 40;
constexpr int ToolButtonWidth = 32;

// Courier New where it is installed, else the closest fixed-pitch face the system offers.
QFont editorFont()
{
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (QFontInfo(font).fixedPitch())
        return font;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(10);
    return fixed;
}

// QScintilla's setText and text() stop at a NUL character, so a file holding one would lose the
// rest on save; the editor's document holds NULs, so the whole text goes in and out by length.
void setWholeText(QsciScintilla& memo, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    memo.SendScintilla(QsciScintillaBase::SCI_CLEARALL);
    memo.SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, ulong(bytes.size()), bytes.constData());
}

QString wholeText(const QsciScintilla& memo)
{
    const int length = memo.length();
    QByteArray bytes(length + 1, Qt::Uninitialized);
    memo.SendScintilla(QsciScintillaBase::SCI_GETTEXT, ulong(bytes.size()), static_cast<void*>(bytes.data()));
    return QString::fromUtf8(bytes.constData(), length);
}

} // namespace

TTFormTextEditor::TTFormTextEditor(Prompter& prompter, QWidget* parent) : QDialog(parent), m_prompter(prompter)
{
    setWindowTitle(QStringLiteral("Text Editor"));
    // A window of its own with the usual frame buttons (a dialog gets a help button on some platforms).
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
        | Qt::WindowCloseButtonHint);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setFixedHeight(ToolBarHeight);
    ToolBar1->setIconSize(QSize(28, 28));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    BtnSave = addToolButton(QStringLiteral("SAVE"), QStringLiteral("Save"), [this] { BtnSaveClick(); });
    BtnCut = addToolButton(QStringLiteral("CUT"), QStringLiteral("Cut"), [this] { BtnCutClick(); });
    BtnCopy = addToolButton(QStringLiteral("COPY"), QStringLiteral("Copy"), [this] { BtnCopyClick(); });
    BtnPaste = addToolButton(QStringLiteral("PASTE"), QStringLiteral("Paste"), [this] { BtnPasteClick(); });
    BtnUndo = addToolButton(QStringLiteral("UNDO"), QStringLiteral("Undo"), [this] { BtnUndoClick(); });
    BtnRedo = addToolButton(QStringLiteral("REDO"), QStringLiteral("Redo"), [this] { BtnRedoClick(); });
    BtnFind = addToolButton(QStringLiteral("FIND"), QStringLiteral("Find"), [this] { BtnFindClick(); });

    MemoEditor = new QsciScintilla(this);
    MemoEditor->setUtf8(true);
    MemoEditor->setEolMode(QsciScintilla::EolUnix);
    MemoEditor->setTabWidth(EditorTabWidth);
    // Plain text: no lexer, no current-line band, no brace matching, nothing trimmed while typing.
    MemoEditor->setLexer(nullptr);
    MemoEditor->setCaretLineVisible(false);
    MemoEditor->setBraceMatching(QsciScintilla::NoBraceMatch);
    MemoEditor->setAutoIndent(false);
    // A horizontal scroll bar only once a line is wider than the window.
    MemoEditor->SendScintilla(QsciScintillaBase::SCI_SETSCROLLWIDTH, 1);
    MemoEditor->SendScintilla(QsciScintillaBase::SCI_SETSCROLLWIDTHTRACKING, 1);
    const QFont font = editorFont();
    MemoEditor->setFont(font);
    MemoEditor->setMarginsFont(font);
    MemoEditor->setMarginType(0, QsciScintilla::NumberMargin);
    MemoEditor->setMarginWidth(0, QStringLiteral("00000"));
    MemoEditor->setMarginType(1, QsciScintilla::SymbolMargin);
    MemoEditor->setMarginWidth(1, 14);
    MemoEditor->setMarginMarkerMask(1, 1 << EditorFinder::MarkerNumber);
    MemoEditor->markerDefine(QsciScintilla::Bookmark, EditorFinder::MarkerNumber);
    MemoEditor->setMarkerBackgroundColor(QColor(0x3465a4), EditorFinder::MarkerNumber);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(MemoEditor, 1);

    m_finder = std::make_unique<EditorFinder>(*MemoEditor);
    FindDialog1 = new FindDialog(*m_finder, m_prompter, this);

    connect(MemoEditor, &QsciScintilla::selectionChanged, this, &TTFormTextEditor::UpdateClipboardButtons);
    // QScintilla has no undo-state signal: every change of the text (undo and redo included) and of
    // the save point is where the undo state can change.
    connect(MemoEditor, &QsciScintilla::textChanged, this, &TTFormTextEditor::UpdateUndoButtons);
    connect(MemoEditor, &QsciScintilla::modificationChanged, this, &TTFormTextEditor::UpdateUndoButtons);

    resize(640, 480);
    FormCreate();
}

TTFormTextEditor::~TTFormTextEditor() = default;

QToolButton* TTFormTextEditor::addToolButton(
    const QString& image, const QString& name, const std::function<void()>& handler)
{
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(QStringLiteral("Btn") + name);
    button->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(image.toLower())));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFixedSize(ToolButtonWidth, ToolBarHeight);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    // No caption and no hint on screen; assistive technology still reads what the button does.
    button->setAccessibleName(name);
    connect(button, &QToolButton::clicked, this, handler);
    ToolBar1->addWidget(button);
    return button;
}

void TTFormTextEditor::FormCreate()
{
    UpdateClipboardButtons();
    UpdateUndoButtons();
    // Centred once; Qt would otherwise centre it over its parent at every show.
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void TTFormTextEditor::LoadFromFile(const QString& path)
{
    const EditorText loaded = loadEditorFile(path);
    m_finder->reset();
    MemoEditor->markerDeleteAll();
    setWholeText(*MemoEditor, loaded.text);
    MemoEditor->setCursorPosition(0, 0);
    MemoEditor->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    MemoEditor->setModified(false);
    m_encoding = loaded.encoding;
    UpdateClipboardButtons();
    UpdateUndoButtons();
}

void TTFormTextEditor::ShowModal()
{
    if (m_modalRunner) {
        m_modalRunner(*this);
        return;
    }
    exec();
}

void TTFormTextEditor::editFile(const QString& path)
{
    currentFilename = path;
    LoadFromFile(path);
    ShowModal();
}

void TTFormTextEditor::setModalRunner(ModalRunner runner)
{
    m_modalRunner = std::move(runner);
}

QString TTFormTextEditor::encodingChangedMessage(const QString& path)
{
    return QStringLiteral("The file \"%1\" now holds characters that Windows-1252 cannot represent, so it "
                          "was saved as UTF-8 with a byte-order mark.")
        .arg(path);
}

bool TTFormTextEditor::BtnSaveClick()
{
    TextEncoding written = m_encoding;
    const bool saved = runCommand(
        m_prompter, [&] { written = saveEditorFile(currentFilename, wholeText(*MemoEditor), m_encoding); });
    if (!saved)
        return false;
    // Said once: from now on the file is UTF-8 with a mark and saves as such without a word.
    const bool changed = written != m_encoding;
    m_encoding = written;
    if (changed)
        m_prompter.message(encodingChangedMessage(currentFilename));
    return true;
}

void TTFormTextEditor::BtnCutClick()
{
    MemoEditor->cut();
}

void TTFormTextEditor::BtnCopyClick()
{
    MemoEditor->copy();
}

void TTFormTextEditor::BtnPasteClick()
{
    MemoEditor->paste();
}

void TTFormTextEditor::BtnUndoClick()
{
    MemoEditor->undo();
}

void TTFormTextEditor::BtnRedoClick()
{
    MemoEditor->redo();
}

void TTFormTextEditor::BtnFindClick()
{
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
}

void TTFormTextEditor::UpdateClipboardButtons()
{
    BtnCut->setEnabled(MemoEditor->hasSelectedText() && !MemoEditor->isReadOnly());
    BtnCopy->setEnabled(MemoEditor->hasSelectedText());
}

void TTFormTextEditor::UpdateUndoButtons()
{
    BtnUndo->setEnabled(MemoEditor->isUndoAvailable());
    BtnRedo->setEnabled(MemoEditor->isRedoAvailable());
}

bool TTFormTextEditor::FormClose()
{
    if (!m_prompter.confirm(QStringLiteral("Save file?")))
        return true;
    return BtnSaveClick();
}

void TTFormTextEditor::done(int result)
{
    if (!FormClose())
        return;
    FindDialog1->hide();
    QDialog::done(result);
}
