// The main window's controls and their layout; the handlers are in formMain.cpp.
#include "ui/formMain.h"

#include "app/CommonVarsC.h"
#include "app/ProductConfig.h"
#include "app/Workspace.h"
#include "engine/RunController.h"
#include "engine/UpdateGUIThread.h"
#include "results/StringGridUtil.h"
#include "text/FileUtil.h"
#include "ui/BrowserUtil.h"
#include "ui/ComboTrackBar.h"
#include "ui/FormBuilder.h"
#include "ui/GuiUtil.h"
#include "ui/MainWindowRules.h"
#include "ui/Prompter.h"
#include "ui/ResultsGrid.h"
#include "ui/UrlFileReader.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

using namespace FormBuilder;
using namespace MainWindowRules;

void TTFormMain::buildCommandRows(QWidget* panel)
{
    ButtonClear1 = makeButton("ButtonClear1", QStringLiteral("Clear"), QStringLiteral("Clear file path"), panel);
    ButtonEditWebsites = makeButton(
        "ButtonEditWebsites", QStringLiteral("Edit"), QStringLiteral("Edit your urls for extraction"), panel);
    TextField1 = named("TextField1", new QLineEdit(urlFilePlaceholder(), panel));
    TextField1->setAccessibleName(QStringLiteral("Url file"));
    ButtonLoad1
        = makeButton("ButtonLoad1", QStringLiteral("Load"), QStringLiteral("Load file for websites"), panel);
    LabelNumberThreads = makeLabel("LabelNumberThreads", QStringLiteral("Threads #"), panel);
    ComboTrackBarNumberThreads = named("ComboTrackBarNumberThreads", new ComboTrackBar(panel));
    ComboTrackBarNumberThreads->setToolTip(QStringLiteral("Threads number"));
    ComboTrackBarNumberThreads->setTypingAllowed(false);
    ChkEnableProxies = named("ChkEnableProxies", new QCheckBox(QStringLiteral("Enable proxies"), panel));
    ButtonClear2
        = makeButton("ButtonClear2", QStringLiteral("Clear"), QStringLiteral("Clear indexing sites"), panel);
    ButtonEditServices = makeButton(
        "ButtonEditServices", QStringLiteral("Edit RegEx"), QStringLiteral("Edit RegEx Library"), panel);
    ComboBoxRegex = named("ComboBoxRegex", new QComboBox(panel));
    ComboBoxRegex->setAccessibleName(QStringLiteral("Regex library entry"));
    ComboBoxRegex->setFocusPolicy(Qt::NoFocus);
    ButtonApplyRegex = makeButton("ButtonApplyRegex", QStringLiteral("Apply Regex"),
        QStringLiteral("Apply Regex Library record selected"), panel);
    LabelTimeoutThreads = makeLabel("LabelTimeoutThreads", QStringLiteral("Timeout (sec)"), panel);
    ComboTrackBarTimeoutThreads = named("ComboTrackBarTimeoutThreads", new ComboTrackBar(panel));
    ComboTrackBarTimeoutThreads->setToolTip(QStringLiteral("Timeout"));
    ComboTrackBarTimeoutThreads->setTypingAllowed(true);
    ChkRemoveDuplicated
        = named("ChkRemoveDuplicated", new QCheckBox(QStringLiteral("Remove \nduplicated"), panel));
    ChkRemoveDuplicated->setToolTip(QStringLiteral("Remove duplicated matches from a single url"));
    ChkRemoveDuplicated->setAccessibleName(QStringLiteral("Remove duplicated"));
    // They open windows of later work; hidden until those are hooked in.
    ButtonEditWebsites->hide();
    ButtonEditServices->hide();

    // Six columns, the third stretching; every cell keeps 5 pixels free on its right.
    auto* grid = m_commandGrid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(5);
    grid->setVerticalSpacing(0);
    const int widths[] = { 70, 75, 0, 90, 110, 100 };
    for (int c = 0; c < 6; ++c)
        grid->setColumnMinimumWidth(c, std::max(widths[c] - 5, 0));
    grid->setColumnStretch(2, 1);
    showEditColumn();
    QWidget* cells[2][6] = {
        { ButtonClear1, ButtonEditWebsites, TextField1, ButtonLoad1,
            trackBarPanel("PanelThreadsNumber", LabelNumberThreads, ComboTrackBarNumberThreads, panel),
            checkBoxPanel("PanelEnableProxies", ChkEnableProxies, panel) },
        { ButtonClear2, ButtonEditServices, ComboBoxRegex, ButtonApplyRegex,
            trackBarPanel("PanelTimeout", LabelTimeoutThreads, ComboTrackBarTimeoutThreads, panel),
            checkBoxPanel("PanelRemoveDuplicates", ChkRemoveDuplicated, panel) },
    };
    for (int r = 0; r < 2; ++r) {
        grid->setRowStretch(r, 1);
        for (int c = 0; c < 6; ++c) {
            if (auto* button = qobject_cast<QPushButton*>(cells[r][c]))
                button->setFixedSize(widths[c] - 5, 35);
            grid->addWidget(cells[r][c], r, c, Qt::AlignVCenter);
        }
    }
}

void TTFormMain::buildRunRow(QWidget* panel)
{
    ButtonStart = makeButton("ButtonStart", QStringLiteral("Start"), QStringLiteral("Start extraction"), panel);
    ButtonStart->setFixedSize(175, 30);
    ButtonAbort = makeButton("ButtonAbort", QStringLiteral("Abort"), QString(), panel);
    ButtonAbort->setFixedSize(150, 30);
    ButtonAbort->setEnabled(false);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(ButtonStart, 0, 0, Qt::AlignCenter);
    grid->addWidget(ButtonAbort, 0, 1, Qt::AlignCenter);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
}

void TTFormMain::buildBottom(QWidget* panel)
{
    LabelTotalUrls = makeLabel("LabelTotalUrls", QStringLiteral("0"), panel);
    LabelTotalRegex = makeLabel("LabelTotalRegex", QStringLiteral("0"), panel);
    LabelCompleted = makeLabel("LabelCompleted", QStringLiteral("0"), panel);
    LabelTime = makeLabel("LabelTime", QStringLiteral("00:00:00"), panel);
    ButtonExport
        = makeButton("ButtonExport", QStringLiteral("Export"), QStringLiteral("Export pinged list"), panel);
    ButtonExport->setFixedSize(149, 26);
    PopupMenuExport = named("PopupMenuExport", new QMenu(this));
    QAction* exportTxt
        = named("ExportTxtFile", PopupMenuExport->addAction(QStringLiteral("Export results as txt file")));
    connect(exportTxt, &QAction::triggered, this, &TTFormMain::ExportTxtFileClick);
    connect(named("ExportCsvFile", PopupMenuExport->addAction(QStringLiteral("Export results as CSV file"))),
        &QAction::triggered, this, &TTFormMain::ExportCsvFileClick);
    connect(named("ExportJsonLinesFile",
                PopupMenuExport->addAction(QStringLiteral("Export results as JSON Lines file"))),
        &QAction::triggered, this, &TTFormMain::ExportJsonLinesFileClick);

    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(counterBlock("GridPanelLayout4", QStringLiteral("Url loaded"), LabelTotalUrls,
                        QStringLiteral("RegEx in library"), LabelTotalRegex, panel),
        0, 0);
    grid->addWidget(counterBlock("GridPanelLayout5", QStringLiteral("Urls processed"), LabelCompleted,
                        QStringLiteral("Time"), LabelTime, panel),
        0, 1);
    grid->addWidget(ButtonExport, 0, 2, Qt::AlignCenter);
    grid->setColumnStretch(0, 395);
    grid->setColumnStretch(1, 395);
    grid->setColumnStretch(2, 210);
}

void TTFormMain::buildMenus()
{
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    const auto item = [this](QMenu* menu, const char* name, const QString& text, void (TTFormMain::*handler)()) {
        connect(named(name, menu->addAction(text)), &QAction::triggered, this, handler);
    };
    MenuItemFile = named("MenuItemFile", menuBar()->addMenu(QStringLiteral("File")));
    item(MenuItemFile, "MenuItemExit", QStringLiteral("Exit"), &TTFormMain::MenuItemExitClick);
    MenuItemHelp = named("MenuItemHelp", menuBar()->addMenu(QStringLiteral("Help")));
    item(MenuItemHelp, "MenuItemAbout", QStringLiteral("About"), &TTFormMain::MenuItemAboutClick);
    item(MenuItemHelp, "MenuItemOnlineManual", QStringLiteral("Online manual"),
        &TTFormMain::MenuItemOnlineManualClick);
    item(MenuItemHelp, "MenuItemSupport", QStringLiteral("Support request"), &TTFormMain::MenuItemSupportClick);
}
