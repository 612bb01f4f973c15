#include "ui/formRegExLibrary.h"

#include "app/Workspace.h"
#include "library/RegexLibraryModel.h"
#include "ui/LibraryCellDelegate.h"
#include "ui/Prompter.h"
#include "ui/RegexTestPane.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace
{

constexpr int ColumnWidth = 195;

struct NavigatorButton {
    NavigatorAction action;
    const char* glyph;
    const char* hint;
    const char* name;
};

// The bar's buttons in order, with the hints database navigators give them.
const NavigatorButton NavigatorButtons[NavigatorActionCount] = {
    { NavigatorAction::First, "|\u25C0", "First record", "First" },
    { NavigatorAction::Prior, "\u25C0", "Prior record", "Prior" },
    { NavigatorAction::Next, "\u25B6", "Next record", "Next" },
    { NavigatorAction::Last, "\u25B6|", "Last record", "Last" },
    { NavigatorAction::Insert, "+", "Insert record", "Insert" },
    { NavigatorAction::Delete, "\u2212", "Delete record", "Delete" },
    { NavigatorAction::Edit, "\u25B2", "Edit record", "Edit" },
    { NavigatorAction::Post, "\u2714", "Post edit", "Post" },
    { NavigatorAction::Cancel, "\u2716", "Cancel edit", "Cancel" },
    { NavigatorAction::Refresh, "\u21BB", "Refresh data", "Refresh" },
};

} // namespace

TTFormRegExLibrary::TTFormRegExLibrary(Workspace& workspace, Prompter& prompter, QWidget* parent) :
    QWidget(parent, Qt::Window),
    NavigatorBindSourceDB1(new QToolBar(this)),
    SplitterLibrary(new QSplitter(Qt::Vertical, this)),
    GridBindSourceDB1(new QTableView(SplitterLibrary)),
    ActionSetToNull(new QAction(QStringLiteral("Set to NULL"), this)),
    PanelRegexTest(new RegexTestPane(workspace.settings(), workspace.lists(), SplitterLibrary)),
    m_workspace(workspace),
    m_prompter(prompter)
{
    setObjectName(QStringLiteral("TFormRegExLibrary"));
    setWindowTitle(QStringLiteral("RegEx Library"));
    // The designed position and client size; not centred.
    move(660, 255);
    resize(831, 480);

    NavigatorBindSourceDB1->setObjectName(QStringLiteral("NavigatorBindSourceDB1"));
    NavigatorBindSourceDB1->setFixedHeight(25);
    NavigatorBindSourceDB1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    NavigatorBindSourceDB1->setMovable(false);
    for (const NavigatorButton& b : NavigatorButtons) {
        auto* action = new QAction(QString::fromUtf8(b.hint), this);
        action->setObjectName(QStringLiteral("Navigator") + QString::fromLatin1(b.name));
        action->setIconText(QString::fromUtf8(b.glyph));
        action->setToolTip(QString::fromUtf8(b.hint));
        action->setEnabled(false);
        connect(action, &QAction::triggered, this, [this, a = b.action] { NavigatorClick(a); });
        NavigatorBindSourceDB1->addAction(action);
        // The glyph is what shows; assistive technology reads the hint.
        if (QWidget* button = NavigatorBindSourceDB1->widgetForAction(action))
            button->setAccessibleName(QString::fromUtf8(b.hint));
        m_actions[std::size_t(b.action)] = action;
    }

    GridBindSourceDB1->setObjectName(QStringLiteral("GridBindSourceDB1"));
    GridBindSourceDB1->setItemDelegate(new LibraryCellDelegate(GridBindSourceDB1));
    GridBindSourceDB1->setSelectionMode(QAbstractItemView::SingleSelection);
    GridBindSourceDB1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    GridBindSourceDB1->verticalHeader()->hide();
    // One line of text per entry, so the grid shows as many entries as it can.
    GridBindSourceDB1->verticalHeader()->setDefaultSectionSize(GridBindSourceDB1->fontMetrics().height() + 8);
    GridBindSourceDB1->horizontalHeader()->setDefaultSectionSize(ColumnWidth);
    GridBindSourceDB1->horizontalHeader()->setHighlightSections(false);
    GridBindSourceDB1->setWordWrap(false);
    GridBindSourceDB1->setAccessibleName(QStringLiteral("Regex library"));
    ActionSetToNull->setObjectName(QStringLiteral("ActionSetToNull"));
    ActionSetToNull->setToolTip(QStringLiteral("Give the cell no value (NULL), which is not an empty text"));
    connect(ActionSetToNull, &QAction::triggered, this, &TTFormRegExLibrary::SetToNullClick);
    GridBindSourceDB1->addAction(ActionSetToNull);
    GridBindSourceDB1->setContextMenuPolicy(Qt::ActionsContextMenu);

    SplitterLibrary->setObjectName(QStringLiteral("SplitterLibrary"));
    SplitterLibrary->setChildrenCollapsible(false);
    SplitterLibrary->setStretchFactor(0, 1);
    SplitterLibrary->setStretchFactor(1, 1);
    SplitterLibrary->setSizes({ 235, 190 });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(10);
    layout->addWidget(NavigatorBindSourceDB1);
    layout->addWidget(SplitterLibrary, 1);
}

TTFormRegExLibrary::~TTFormRegExLibrary() = default;

void TTFormRegExLibrary::showModeless()
{
    bind();
    show();
    raise();
    activateWindow();
}

RegexLibraryModel& TTFormRegExLibrary::model()
{
    bind();
    return *m_model;
}

void TTFormRegExLibrary::bind()
{
    if (m_model)
        return;
    m_model = new RegexLibraryModel(m_workspace.library(), this);
    GridBindSourceDB1->setModel(m_model);
    connect(GridBindSourceDB1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) { gridRowChosen(current.row()); });
    connect(m_model, &RegexLibraryModel::currentRowChanged, this, [this] {
        syncGridToModel();
        updateTestEntry();
    });
    connect(m_model, &RegexLibraryModel::stateChanged, this, [this] {
        updateNavigator();
        updateTestEntry();
    });
    connect(m_model, &QAbstractItemModel::dataChanged, this, &TTFormRegExLibrary::updateTestEntry);
    connect(m_model, &RegexLibraryModel::libraryChanged, this, &TTFormRegExLibrary::libraryChanged);
    connect(
        m_model, &RegexLibraryModel::editRefused, this, [this](const QString& error) { m_prompter.error(error); });
    // The window starts trying entries as the run would collect them now.
    PanelRegexTest->ChkTestRemoveDuplicated->setChecked(m_workspace.settings().RemoveDuplicated);
    syncGridToModel();
    updateNavigator();
    updateTestEntry();
}

bool TTFormRegExLibrary::runOnModel(const std::function<void()>& change)
{
    bind();
    closeCellEditor();
    const bool outer = !m_busy;
    m_busy = true;
    const bool ok = runCommand(m_prompter, change);
    if (outer)
        m_busy = false;
    // The grid lost its cursor when the rows were read again, also after a refused write.
    syncGridToModel();
    updateNavigator();
    return ok;
}

void TTFormRegExLibrary::NavigatorClick(NavigatorAction action)
{
    runOnModel([this, action] {
        RegexLibraryModel& m = *m_model;
        if (!m.navigator()[action])
            return;
        switch (action) {
        case NavigatorAction::First:
            m.first();
            break;
        case NavigatorAction::Prior:
            m.prior();
            break;
        case NavigatorAction::Next:
            m.next();
            break;
        case NavigatorAction::Last:
            m.last();
            break;
        case NavigatorAction::Insert:
            m.insert();
            break;
        case NavigatorAction::Delete:
            if (m_prompter.confirm(QStringLiteral("Delete record?")))
                m.remove();
            break;
        case NavigatorAction::Edit:
            m.edit();
            break;
        case NavigatorAction::Post:
            m.post();
            break;
        case NavigatorAction::Cancel:
            m.cancel();
            break;
        case NavigatorAction::Refresh:
            m.refresh();
            break;
        }
    });
}

void TTFormRegExLibrary::SetToNullClick()
{
    runOnModel([this] {
        const QModelIndex cell = GridBindSourceDB1->currentIndex();
        if (cell.isValid())
            m_model->setData(cell, QVariant()); // a refusal is shown through editRefused
    });
}

bool TTFormRegExLibrary::settleEdit()
{
    if (!m_model)
        return true;
    return runOnModel([this] { m_model->settle(); });
}

void TTFormRegExLibrary::closeEvent(QCloseEvent* event)
{
    // Nothing typed is dropped: a failing post keeps the window open with the edit and the error.
    if (!settleEdit()) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT closed();
}

void TTFormRegExLibrary::closeCellEditor()
{
    // Each keystroke is in the model already; an editor left open would show a stale text after the
    // edit is cancelled or the rows are read again.
    const QModelIndex cell = GridBindSourceDB1->currentIndex();
    if (QWidget* editor = cell.isValid() ? GridBindSourceDB1->indexWidget(cell) : nullptr) {
        QMetaObject::invokeMethod(GridBindSourceDB1, "closeEditor", Q_ARG(QWidget*, editor),
            Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    }
}

void TTFormRegExLibrary::syncGridToModel()
{
    if (!m_model)
        return;
    const int row = m_model->currentRow();
    const QModelIndex current = GridBindSourceDB1->currentIndex();
    if (row < 0 || (current.isValid() && current.row() == row))
        return;
    const bool outer = !m_busy;
    m_busy = true;
    const QModelIndex cell = m_model->index(row, current.isValid() ? current.column() : 0);
    GridBindSourceDB1->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect);
    GridBindSourceDB1->scrollTo(cell);
    if (outer)
        m_busy = false;
}

void TTFormRegExLibrary::gridRowChosen(int row)
{
    // Moves the model makes itself, or the grid's own answer to rows coming and going, are no choice.
    if (m_busy || !m_model || row < 0 || row == m_model->currentRow())
        return;
    runOnModel([this, row] { m_model->moveTo(row); });
}

void TTFormRegExLibrary::updateNavigator()
{
    const NavigatorEnabled enabled = m_model ? m_model->navigator() : NavigatorEnabled {};
    for (std::size_t i = 0; i < NavigatorActionCount; ++i)
        m_actions[i]->setEnabled(enabled.enabled[i]);
}

void TTFormRegExLibrary::updateTestEntry()
{
    if (m_model)
        PanelRegexTest->setEntry(m_model->currentEntry());
}
