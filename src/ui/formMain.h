#pragma once

#include "fetch/IdentityLists.h"

#include "results/StringGridUtil.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class CommonVars;
class ComboTrackBar;
class Prompter;
class QAction;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class ResultsGrid;
class UrlFileReader;
class Workspace;
struct RunProgress;
struct RunSummary;

// The main window: the URL file, the library selector, the run settings, Start and Abort, the
// results grid over the workspace's row store, the counters, Export and the menus. It renders what
// the workspace and its run controller do; the rules live in MainWindowRules and the core.
// Every command handler runs inside runCommand, so an error shows in the error box and the program
// goes on; every dialog goes through the Prompter.
// Thread affinity: the UI thread.
class TTFormMain : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int MinClientWidth = 733;
    static constexpr int MinClientHeight = 618;

    // Builds the controls and runs FormCreate, which loads the identity lists: it throws what they
    // throw (FileError naming the file), so a failed start-up shows no window. The library is opened
    // by the caller before. prompter: null gives the real dialogs. processors: 0 means this machine's.
    explicit TTFormMain(
        Workspace& workspace, Prompter* prompter = nullptr, int processors = 0, QWidget* parent = nullptr);
    // A run still going is stopped and waited for: no thread of it outlives the window.
    ~TTFormMain() override;

    static QString urlFilePlaceholder();

    std::unique_ptr<CommonVars> GlobalVariables;
    QString ResourcesFilesPath;
    QStringList WebsitesList;
    int RegexCount = 0;

    // Hook points for the windows that come with later work. Each control they need exists already
    // and stays hidden (or absent, for the Settings menu) until its hook is set.
    void setAboutWindow(QWidget* about);
    // Shows ButtonEditWebsites; editModally opens the text editor on the file and returns once it is
    // closed, after which the file is read again.
    void setTextEditor(std::function<void(const QString& path)> editModally);
    // The "Settings" menu, made between File and Help on the first call.
    QMenu* settingsMenu();
    // Shows ButtonEditServices, which calls show; the library window calls ReloadComboBoxRegex when it closes.
    void setLibraryWindow(std::function<void()> show);
    // Asked before the main window closes: false keeps it open (an edit of the library that cannot be saved).
    void setLibraryCloser(std::function<bool()> close) { m_libraryCloser = std::move(close); }
    // Makes Settings > Proxies / Referers / User Agents, each calling edit with its list.
    void setIdentityEditor(std::function<void(IdentityKind)> edit);
    // The prompter every window of the program asks through.
    Prompter& prompter() { return m_prompter; }

    void ReloadComboBoxRegex();
    // After an edit in the library window: the list is read again and the selected entry stays
    // selected (by its description), so Apply never takes an entry that has moved.
    void libraryEdited();
    void RefreshCounters();
    void EnableDisableOnStart(bool Flag);
    // rows: WebsitesList as grid rows, made while the file was read off the UI thread.
    void LoadWebsitesIntoGrid(std::vector<ResultsModel::Row> rows);
    // Load without the dialog: the path goes into TextField1 and the file is read off the UI thread.
    void loadUrlFile(const QString& path);
    // A URL file is being read (Load, or after the editor); the controls that would use it wait.
    bool isLoading() const;

    // Command handlers, wired to their controls.
    void ButtonStartClick();
    void ButtonAbortClick();
    void ButtonLoad1Click();
    void ButtonClear1Click();
    void ButtonEditWebsitesClick();
    void ButtonEditServicesClick();
    void ButtonClear2Click();
    void ButtonApplyRegexClick();
    void ButtonExportClick();
    void ExportTxtFileClick();
    void ExportCsvFileClick();
    void ExportJsonLinesFileClick();
    void MenuItemProxiesClick();
    void MenuItemReferersClick();
    void MenuItemUserAgentsClick();
    void MenuItemExitClick();
    void MenuItemAboutClick();
    void MenuItemOnlineManualClick();
    void MenuItemSupportClick();
    void ComboTrackBarTimeoutThreadsChange();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildCommandRows(QWidget* panel);
    void buildRunRow(QWidget* panel);
    void buildBottom(QWidget* panel);
    void buildMenus();
    void showEditColumn();
    void connectControls();
    void FormCreate();
    void InitTrackBars();
    void runStarted();
    void runProgress(const RunProgress& batch);
    void runFinished(const RunSummary& summary);
    void command(const std::function<void()>& handler);
    void exportAs(const QString& filter, const QString& extension, void (Workspace::*write)(const QString&) const);
    void setLoading(bool on, const QString& path = QString());

    Workspace& m_ws;
    std::unique_ptr<Prompter> m_ownPrompter;
    Prompter& m_prompter;
    const int m_processors;
    QWidget* m_about = nullptr;
    std::function<void(const QString&)> m_editor;
    std::function<void()> m_libraryWindow;
    std::function<void(IdentityKind)> m_identityEditor;
    std::function<bool()> m_libraryCloser;
    std::unique_ptr<UrlFileReader> m_reader;
    // Close was asked during a run: the run is stopping and the window closes when it has ended.
    bool m_closeWhenStopped = false;

    // Components, owned by their Qt parents.
    QPushButton* ButtonClear1;
    QPushButton* ButtonEditWebsites;
    QLineEdit* TextField1;
    QPushButton* ButtonLoad1;
    QLabel* LabelNumberThreads;
    ComboTrackBar* ComboTrackBarNumberThreads;
    QCheckBox* ChkEnableProxies;
    QPushButton* ButtonClear2;
    QPushButton* ButtonEditServices;
    QComboBox* ComboBoxRegex;
    QPushButton* ButtonApplyRegex;
    QLabel* LabelTimeoutThreads;
    ComboTrackBar* ComboTrackBarTimeoutThreads;
    QCheckBox* ChkRemoveDuplicated;
    QPushButton* ButtonStart;
    QPushButton* ButtonAbort;
    ResultsGrid* StringGrid1;
    QLabel* LabelTotalUrls;
    QLabel* LabelTotalRegex;
    QLabel* LabelCompleted;
    QLabel* LabelTime;
    QPushButton* ButtonExport;
    QMenu* PopupMenuExport;
    QGridLayout* m_commandGrid;
    QMenu* MenuItemFile;
    QMenu* MenuItemSettings = nullptr;
    QMenu* MenuItemHelp;
    QProgressBar* ProgressBarRun;
};
