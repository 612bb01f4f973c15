#include "ui/formMain.h"

#include "app/CommonVarsC.h"
#include "app/ProductConfig.h"
#include "app/Workspace.h"
#include "engine/RunController.h"
#include "engine/UpdateGUIThread.h"
#include "engine/UrlJob.h"
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

void TTFormMain::setIdentityEditor(std::function<void(IdentityKind)> edit)
{
    m_identityEditor = std::move(edit);
    QMenu* menu = settingsMenu();
    connect(named("MenuItemProxies", menu->addAction(QStringLiteral("Proxies"))), &QAction::triggered, this,
        &TTFormMain::MenuItemProxiesClick);
    connect(named("MenuItemReferers", menu->addAction(QStringLiteral("Referers"))), &QAction::triggered, this,
        &TTFormMain::MenuItemReferersClick);
    connect(named("MenuItemUserAgents", menu->addAction(QStringLiteral("User Agents"))), &QAction::triggered, this,
        &TTFormMain::MenuItemUserAgentsClick);
}

// The editor commands run inside the error helper themselves.
void TTFormMain::MenuItemProxiesClick()
{
    m_identityEditor(IdentityKind::Proxies);
}

void TTFormMain::MenuItemReferersClick()
{
    m_identityEditor(IdentityKind::Referers);
}

void TTFormMain::MenuItemUserAgentsClick()
{
    m_identityEditor(IdentityKind::UserAgents);
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
    // Host-less lines among the proxies mean direct connections: said where the run is watched.
    statusBar()->showMessage(proxyWarning(m_ws.settings(), m_ws.lists()));
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

void TTFormMain::libraryEdited()
{
    const QString selected = ComboBoxRegex->currentText();
    ReloadComboBoxRegex();
    if (const int at = ComboBoxRegex->findText(selected, Qt::MatchExactly); at >= 0)
        ComboBoxRegex->setCurrentIndex(at);
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

void TTFormMain::exportAs(
    const QString& filter, const QString& extension, void (Workspace::*write)(const QString&) const)
{
    command([&] {
        const QString chosen = m_prompter.saveFile(QStringLiteral("Export results"), filter, QString());
        if (chosen.isEmpty())
            return;
        (m_ws.*write)(withDefaultExtension(chosen, extension));
        m_prompter.message(QStringLiteral("Export completed!"));
    });
}

void TTFormMain::ExportTxtFileClick()
{
    exportAs(QStringLiteral("Text file (*.txt)"), QStringLiteral(".txt"), &Workspace::exportMatches);
}

void TTFormMain::ExportCsvFileClick()
{
    exportAs(QStringLiteral("CSV file (*.csv)"), QStringLiteral(".csv"), &Workspace::exportCsv);
}

void TTFormMain::ExportJsonLinesFileClick()
{
    exportAs(QStringLiteral("JSON Lines file (*.jsonl)"), QStringLiteral(".jsonl"), &Workspace::exportJsonLines);
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
    // An open edit of the library is saved first; when that fails the window stays with the error.
    if (m_libraryCloser && !m_libraryCloser()) {
        event->ignore();
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
