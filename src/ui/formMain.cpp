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

TTFormMain::TTFormMain(Workspace& workspace, Prompter* prompter, int processors, QWidget* parent) :
    QMainWindow(parent),
    m_ws(workspace),
    m_ownPrompter(prompter ? nullptr : std::make_unique<DialogPrompter>(this)),
    m_prompter(prompter ? *prompter : *m_ownPrompter),
    m_processors(processors > 0 ? processors : QThread::idealThreadCount()),
    m_reader(std::make_unique<UrlFileReader>())
{
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(5, 0, 5, 0);
    column->setSpacing(0);
    QWidget* commands = makePanel("GridPanelLayout1", 97, central);
    buildCommandRows(commands);
    QWidget* runRow = makePanel("GridPanelLayout2", 56, central);
    buildRunRow(runRow);
    QWidget* gridPanel = makePanel("Panel1", 0, central);
    auto* gridLayout = new QVBoxLayout(gridPanel);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    StringGrid1 = named("StringGrid1", new ResultsGrid(m_ws.rows(), gridPanel));
    StringGrid1->setAccessibleName(QStringLiteral("Results"));
    gridLayout->addWidget(StringGrid1);
    QWidget* bottom = makePanel("GridPanelLayout3", 76, central);
    buildBottom(bottom);
    column->addWidget(commands);
    column->addWidget(runRow);
    column->addWidget(gridPanel, 1);
    column->addWidget(bottom);
    setCentralWidget(central);

    statusBar()->setObjectName(QStringLiteral("StatusBarBottom"));
    statusBar()->setSizeGripEnabled(true);
    ProgressBarRun = named("ProgressBarRun", new QProgressBar(statusBar()));
    ProgressBarRun->setAccessibleName(QStringLiteral("Rows done"));
    ProgressBarRun->setMaximumWidth(220);
    ProgressBarRun->hide();
    statusBar()->addPermanentWidget(ProgressBarRun);

    buildMenus();
    connectControls();
    resize(855, 628 + menuBar()->sizeHint().height());
    FormCreate();
}

TTFormMain::~TTFormMain()
{
    RunController& run = m_ws.run();
    disconnect(&run, nullptr, this, nullptr);
    if (!run.isRunning())
        return;
    // Normally closeEvent has waited already; this covers a window destroyed without being closed.
    run.requestStop();
    QEventLoop loop;
    connect(&run, &RunController::finished, &loop, &QEventLoop::quit);
    if (run.isRunning())
        loop.exec();
}

QString TTFormMain::urlFilePlaceholder()
{
    return QStringLiteral("Insert urls for extraction");
}

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

void TTFormMain::connectControls()
{
    connect(ButtonClear1, &QPushButton::clicked, this, &TTFormMain::ButtonClear1Click);
    connect(ButtonEditWebsites, &QPushButton::clicked, this, &TTFormMain::ButtonEditWebsitesClick);
    connect(ButtonLoad1, &QPushButton::clicked, this, &TTFormMain::ButtonLoad1Click);
    connect(ButtonClear2, &QPushButton::clicked, this, &TTFormMain::ButtonClear2Click);
    connect(ButtonEditServices, &QPushButton::clicked, this, &TTFormMain::ButtonEditServicesClick);
    connect(ButtonApplyRegex, &QPushButton::clicked, this, &TTFormMain::ButtonApplyRegexClick);
    connect(ButtonStart, &QPushButton::clicked, this, &TTFormMain::ButtonStartClick);
    connect(ButtonAbort, &QPushButton::clicked, this, &TTFormMain::ButtonAbortClick);
    connect(ButtonExport, &QPushButton::clicked, this, &TTFormMain::ButtonExportClick);
    connect(ComboBoxRegex, &QComboBox::currentIndexChanged, this, &TTFormMain::RefreshCounters);
    connect(
        ComboTrackBarTimeoutThreads, &ComboTrackBar::Change, this, &TTFormMain::ComboTrackBarTimeoutThreadsChange);

    // The settings workers read are mirrored from their controls as they change, so a change made
    // during a run reaches the rows that start after it.
    RunSettings& settings = m_ws.settings();
    connect(ComboTrackBarNumberThreads, &ComboTrackBar::Change, this,
        [this, &settings] { settings.ThreadCount = ComboTrackBarNumberThreads->value(); });
    connect(ChkEnableProxies, &QCheckBox::toggled, this, [&settings](bool on) { settings.EnableProxies = on; });
    connect(
        ChkRemoveDuplicated, &QCheckBox::toggled, this, [&settings](bool on) { settings.RemoveDuplicated = on; });
    ChkEnableProxies->setChecked(settings.EnableProxies);
    ChkRemoveDuplicated->setChecked(settings.RemoveDuplicated);

    RunController& run = m_ws.run();
    connect(&run, &RunController::runStarted, this, &TTFormMain::runStarted);
    connect(&run, &RunController::progress, this, &TTFormMain::runProgress);
    connect(&run, &RunController::finished, this, &TTFormMain::runFinished);
}

void TTFormMain::FormCreate()
{
    GlobalVariables = std::make_unique<CommonVars>();
    setWindowTitle(GlobalVariables->MAINFORMCAPTION);
    // The workspace's folder: the "resources" folder beside the executable unless one was given.
    ResourcesFilesPath = m_ws.ResourcesFilesPath();
    ClearGridColumn(m_ws.rows(), ColumnUrl);
    InitTrackBars();
    ReloadComboBoxRegex();
    m_ws.ReloadSettingsList();
    CenterFormOnScreen(this);
}

void TTFormMain::InitTrackBars()
{
    // Minimum first, then maximum, then step: raising the minimum pulls each value up, and the
    // timeout box's change handler runs, so TimeoutThreads is 3 from start-up on.
    const TrackBarRange threads = threadCountRange(m_processors);
    ComboTrackBarNumberThreads->setMinimum(threads.minimum);
    ComboTrackBarNumberThreads->setMaximum(threads.maximum);
    ComboTrackBarNumberThreads->setFrequency(threads.frequency);
    const TrackBarRange timeout = timeoutRange();
    ComboTrackBarTimeoutThreads->setMinimum(timeout.minimum);
    ComboTrackBarTimeoutThreads->setMaximum(timeout.maximum);
    ComboTrackBarTimeoutThreads->setFrequency(timeout.frequency);
}

void TTFormMain::command(const std::function<void()>& handler)
{
    runCommand(m_prompter, handler);
}

void TTFormMain::setAboutWindow(QWidget* about)
{
    m_about = about;
}

void TTFormMain::setTextEditor(std::function<void(const QString& path)> editModally)
{
    m_editor = std::move(editModally);
    ButtonEditWebsites->setVisible(bool(m_editor));
    showEditColumn();
}

QMenu* TTFormMain::settingsMenu()
{
    if (!MenuItemSettings) {
        MenuItemSettings = named("MenuItemSettings", new QMenu(QStringLiteral("Settings"), menuBar()));
        menuBar()->insertMenu(MenuItemHelp->menuAction(), MenuItemSettings);
    }
    return MenuItemSettings;
}

void TTFormMain::setLibraryWindow(std::function<void()> show)
{
    m_libraryWindow = std::move(show);
    ButtonEditServices->setVisible(bool(m_libraryWindow));
    showEditColumn();
}

void TTFormMain::showEditColumn()
{
    // The column of the two Edit buttons takes no room while neither is hooked in.
    const bool shown = !ButtonEditWebsites->isHidden() || !ButtonEditServices->isHidden();
    m_commandGrid->setColumnMinimumWidth(1, shown ? 70 : 0);
}

void TTFormMain::ReloadComboBoxRegex()
{
    QStringList names;
    for (const RegexLibraryEntry& e : m_ws.library().entries())
        names.append(e.description.value_or(QString()));
    {
        const QSignalBlocker quiet(ComboBoxRegex);
        ComboBoxRegex->clear();
        ComboBoxRegex->addItems(names);
        ComboBoxRegex->setCurrentIndex(names.isEmpty() ? -1 : 0);
    }
    RegexCount = ComboBoxRegex->count();
    RefreshCounters();
}

void TTFormMain::RefreshCounters()
{
    LabelTotalRegex->setText(QString::number(RegexCount));
    LabelTotalUrls->setText(QString::number(m_ws.rows().rowCount()));
    LabelTime->setText(QStringLiteral("00:00:00"));
}

void TTFormMain::EnableDisableOnStart(bool Flag)
{
    ButtonStart->setEnabled(!Flag);
    ButtonAbort->setEnabled(Flag);
    for (QWidget* w : std::initializer_list<QWidget*> { ButtonClear1, ButtonClear2, ButtonEditWebsites,
             ButtonEditServices, ButtonLoad1, ComboBoxRegex, ButtonExport, TextField1 })
        w->setEnabled(!Flag);
}

void TTFormMain::LoadWebsitesIntoGrid(std::vector<ResultsModel::Row> rows)
{
    // The new rows replace every row, cells and outcomes, at once: the grid is cleared and refilled.
    if (QFileInfo(TextField1->text()).isFile() && !WebsitesList.isEmpty())
        m_ws.rows().setRows(std::move(rows));
    RefreshCounters();
}

bool TTFormMain::isLoading() const
{
    return m_reader->isReading();
}

void TTFormMain::loadUrlFile(const QString& path)
{
    TextField1->setText(path);
    setLoading(true, path);
    m_reader->read(path, this, [this](UrlFileReader::Result& read) {
        setLoading(false);
        // The grid, the counters and WebsitesList stay as they were when the file cannot be read.
        command([&] {
            if (!read.error.isEmpty())
                throw FileError(read.error.toStdString());
            WebsitesList = std::move(read.lines);
            LoadWebsitesIntoGrid(std::move(read.rows));
        });
    });
}

void TTFormMain::setLoading(bool on, const QString& path)
{
    for (QWidget* w : std::initializer_list<QWidget*> { ButtonLoad1, ButtonClear1, ButtonEditWebsites, TextField1,
             ButtonStart, ButtonApplyRegex, ButtonExport })
        w->setEnabled(!on);
    ProgressBarRun->setRange(0, 0);
    ProgressBarRun->setVisible(on);
    if (on)
        statusBar()->showMessage(QStringLiteral("Loading %1...").arg(QDir::toNativeSeparators(path)));
    else
        statusBar()->clearMessage();
}

void TTFormMain::ButtonStartClick()
{
    // Disabled first, inside the handler, so a second click cannot reach the run.
    ButtonStart->setEnabled(false);
    QString refusal;
    bool started = false;
    command([&] { started = m_ws.run().ButtonStartClick(&refusal); });
    if (started)
        return;
    ButtonStart->setEnabled(!m_ws.run().isRunning());
    if (!refusal.isEmpty())
        m_prompter.message(refusal);
}

void TTFormMain::ButtonAbortClick()
{
    m_ws.run().ButtonAbortClick();
}

void TTFormMain::runStarted()
{
    EnableDisableOnStart(true);
    LabelCompleted->setText(QStringLiteral("0"));
    ProgressBarRun->setRange(0, std::max(m_ws.rows().rowCount(), 1));
    ProgressBarRun->setValue(0);
    ProgressBarRun->show();
    statusBar()->clearMessage();
}

void TTFormMain::runProgress(const RunProgress& batch)
{
    if (!batch.started.empty()) {
        const int m = batch.started.back();
        if (const std::optional<int> top = topRowWhenStarted(m))
            StringGrid1->scrollRowToTop(*top);
        LabelCompleted->setText(QString::number(m + 1));
    }
    if (batch.elapsed)
        LabelTime->setText(formatElapsedTime(*batch.elapsed));
    ProgressBarRun->setValue(batch.tally.completed);
}

void TTFormMain::runFinished(const RunSummary& summary)
{
    EnableDisableOnStart(false);
    ProgressBarRun->hide();
    statusBar()->showMessage(runSummaryText(summary));
    if (m_closeWhenStopped) {
        // Closed once the controller's end handler has returned.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    if (!summary.stopped)
        m_prompter.message(summary.message);
}

void TTFormMain::ButtonLoad1Click()
{
    command([this] {
        const QString path
            = m_prompter.openFile(QStringLiteral("Load urls"), QStringLiteral("Text files (*.txt)"));
        if (path.isEmpty())
            return;
        loadUrlFile(path);
    });
}

void TTFormMain::ButtonClear1Click()
{
    TextField1->setText(urlFilePlaceholder());
    ClearGridColumn(m_ws.rows(), ColumnUrl);
    WebsitesList.clear();
    RefreshCounters();
}

void TTFormMain::ButtonEditWebsitesClick()
{
    command([this] {
        if (!m_editor)
            return;
        const QString path = TextField1->text();
        if (!QFileInfo(path).isFile()) {
            m_prompter.message(QStringLiteral("No file selected"));
            return;
        }
        m_editor(path);
        // Read again from disk, whether or not the editor saved.
        loadUrlFile(path);
    });
}

void TTFormMain::ButtonEditServicesClick()
{
    if (m_libraryWindow)
        command(m_libraryWindow);
}

void TTFormMain::ButtonClear2Click()
{
    ComboBoxRegex->setCurrentIndex(0);
    RefreshCounters();
}

void TTFormMain::ButtonApplyRegexClick()
{
    command([this] {
        if (m_ws.rows().rowCount() == 0) {
            m_prompter.message(Workspace::noRowsRefusal());
            return;
        }
        const int selected = ComboBoxRegex->currentIndex();
        if (selected < 0 || selected >= m_ws.library().count()) {
            m_prompter.message(noLibraryEntryText());
            return;
        }
        if (const QString refusal = m_ws.applyEntry(m_ws.library().entry(selected)); !refusal.isEmpty())
            m_prompter.message(refusal);
    });
}

void TTFormMain::ButtonExportClick()
{
    PopupMenuBelowButton(ButtonExport, PopupMenuExport);
}

void TTFormMain::ExportTxtFileClick()
{
    command([this] {
        const QString chosen = m_prompter.saveFile(
            QStringLiteral("Export results"), QStringLiteral("Text file (*.txt)"), QString());
        if (chosen.isEmpty())
            return;
        m_ws.exportMatches(withDefaultExtension(chosen));
        m_prompter.message(QStringLiteral("Export completed!"));
    });
}

void TTFormMain::MenuItemExitClick()
{
    close();
}

void TTFormMain::MenuItemAboutClick()
{
    if (!m_about)
        return;
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void TTFormMain::MenuItemOnlineManualClick()
{
    OpenWithShell(QString::fromUtf8(ProductConfig::OnlineManualUrl));
}

void TTFormMain::MenuItemSupportClick()
{
    OpenWithShell(supportMailLink(GlobalVariables->SUPPORTMAIL, GlobalVariables->SOFTWARENAME));
}

void TTFormMain::ComboTrackBarTimeoutThreadsChange()
{
    command([this] { m_ws.settings().TimeoutThreads = toWholeNumber(ComboTrackBarTimeoutThreads->text()); });
}

void TTFormMain::closeEvent(QCloseEvent* event)
{
    RunController& run = m_ws.run();
    if (run.isRunning()) {
        // The workers read the rows and settings this window renders: stop the run, keep the event
        // loop going until its rows under way have ended (each within the timeout), then close.
        event->ignore();
        m_closeWhenStopped = true;
        if (!run.isStopping())
            run.requestStop();
        statusBar()->showMessage(stoppingText());
        return;
    }
    // A file being read is bounded by its size: let it end so no thread outlives the window.
    m_reader->wait();
    if (m_about)
        m_about->close();
    QMainWindow::closeEvent(event);
}

void TTFormMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    EnsureMinClientSize(this, MinClientWidth, MinClientHeight);
}
