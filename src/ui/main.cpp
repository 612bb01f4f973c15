// The desktop program. Start-up order: the random draws are seeded, the regex library is opened,
// then the main window is made (its FormCreate loads the identity lists), then the About window.
// A start-up failure shows one error naming the file and exits with 1 before any window is shown.
#include "app/Workspace.h"
#include "engine/RunController.h"
#include "fetch/IdentityLists.h"
#include "ui/Prompter.h"
#include "ui/SettingsCommands.h"
#include "ui/formAbout.h"
#include "ui/formMain.h"
#include "ui/formRegExLibrary.h"
#include "ui/formTextEditor.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

namespace
{

struct Options {
    QString resources;
    // For scripts (the README's screenshot): load a URL file, start a run, save a picture at its end.
    QString load;
    bool run = false;
    QString screenshot;
};

bool parseOptions(int argc, char** argv, Options& options)
{
    // Qt's own options with a value are QApplication's.
    static const char* const qtOptions[]
        = { "-platform", "--platform", "-display", "--display", "-style", "--style" };
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        if (std::any_of(std::begin(qtOptions), std::end(qtOptions),
                [&](const char* o) { return qstrcmp(argv[i], o) == 0; })) {
            ++i;
            continue;
        }
        args.append(QString::fromLocal8Bit(argv[i]));
    }
    QCommandLineParser parser;
    const QCommandLineOption resources("resources", "", "DIR");
    const QCommandLineOption load("load", "", "URLFILE");
    const QCommandLineOption run("run", "");
    const QCommandLineOption screenshot("screenshot", "", "PNG");
    parser.addOptions({ resources, load, run, screenshot });
    if (!parser.parse(args)) {
        std::fprintf(stderr, "glimmerpick: %s\n", qPrintable(parser.errorText()));
        return false;
    }
    options.resources = parser.value(resources);
    options.load = parser.value(load);
    options.run = parser.isSet(run);
    options.screenshot = parser.value(screenshot);
    return true;
}

QByteArray platformName(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0)
            return argv[i + 1];
    return qgetenv("QT_QPA_PLATFORM");
}

// Whether a window system can be reached; without one QApplication would abort.
bool displayAvailable(const QByteArray& platform)
{
    if (!platform.isEmpty())
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Whether someone can see and dismiss a message box (not on the offscreen or minimal platforms).
bool boxesCanBeSeen(const QByteArray& platform)
{
    return !platform.startsWith("offscreen") && !platform.startsWith("minimal");
}

// Unattended runs: notices go to standard error, no dialog waits for anyone.
class UnattendedPrompter : public Prompter
{
public:
    void message(const QString& text) override { std::fprintf(stderr, "glimmerpick: %s\n", qPrintable(text)); }
    bool confirm(const QString& text) override
    {
        message(text);
        return false;
    }
    void error(const QString& text) override { message(text); }
    QString openFile(const QString&, const QString&) override { return QString(); }
    QString saveFile(const QString&, const QString&, const QString&) override { return QString(); }
};

int startUpFailed(const QString& text, bool showBox)
{
    std::fprintf(stderr, "glimmerpick: %s\n", qPrintable(text));
    if (showBox)
        DialogPrompter().error(text);
    return 1;
}

} // namespace

namespace
{

int runProgram(int argc, char** argv)
{
    seedIdentityRandom(QRandomGenerator::system()->generate64());
    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;

    const QByteArray platform = platformName(argc, argv);
    if (!displayAvailable(platform)) {
        // Still say what would have failed, in the same order, before saying that no window can open.
        QCoreApplication app(argc, argv);
        try {
            Workspace(options.resources).startUp();
        } catch (const std::exception& e) {
            return startUpFailed(QString::fromUtf8(e.what()), false);
        }
        return startUpFailed(
            QStringLiteral("no display to open a window on (DISPLAY and WAYLAND_DISPLAY are unset); "
                           "glimmerpick-cli runs without one"),
            false);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glimmerpick"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/glimmerpick.png")));
    const bool unattended = options.run || !options.screenshot.isEmpty();
    std::unique_ptr<Prompter> prompter;
    if (unattended)
        prompter = std::make_unique<UnattendedPrompter>();

    // The workspace outlives the window, which waits for a run still going when it is destroyed.
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<TTFormMain> mainForm;
    try {
        workspace = std::make_unique<Workspace>(options.resources);
        // The library first (the store the library window works on), then the main window.
        workspace->openLibrary();
        mainForm = std::make_unique<TTFormMain>(*workspace, prompter.get());
        // The other windows are owned by the main window, so none keeps the program running alone.
        auto* library = new TTFormRegExLibrary(*workspace, mainForm->prompter(), mainForm.get());
        mainForm->setLibraryWindow([library] { library->showModeless(); });
        QObject::connect(library, &TTFormRegExLibrary::closed, mainForm.get(), [form = mainForm.get()] {
            form->ReloadComboBoxRegex();
            form->RefreshCounters();
        });
        QObject::connect(library, &TTFormRegExLibrary::libraryChanged, mainForm.get(), &TTFormMain::libraryEdited);
        mainForm->setLibraryCloser([library] { return !library->isVisible() || library->close(); });
        mainForm->setAboutWindow(new TTFormAbout(mainForm.get()));
        auto* editor = new TTFormTextEditor(mainForm->prompter(), mainForm.get());
        mainForm->setTextEditor([editor](const QString& path) { editor->editFile(path); });
        mainForm->setIdentityEditor([ws = workspace.get(), form = mainForm.get(), editor](IdentityKind kind) {
            editIdentityList(*ws, form->prompter(), *editor, kind);
        });
    } catch (const std::exception& e) {
        return startUpFailed(QString::fromUtf8(e.what()), boxesCanBeSeen(platform) && !unattended);
    }
    mainForm->show();
    if (!options.load.isEmpty())
        mainForm->loadUrlFile(options.load);

    // Unattended: start once the file has been read; save the picture when the run has ended (or,
    // without a run, once the window has settled), then close.
    int status = 0;
    const auto snap = [&] {
        if (!options.screenshot.isEmpty() && !mainForm->grab().save(options.screenshot)) {
            std::fprintf(stderr, "glimmerpick: cannot write %s\n", qPrintable(options.screenshot));
            status = 1;
        }
        mainForm->close();
    };
    QTimer startWhenLoaded;
    if (options.run) {
        QObject::connect(&workspace->run(), &RunController::finished, mainForm.get(),
            [&] { QTimer::singleShot(300, mainForm.get(), snap); });
        QObject::connect(&startWhenLoaded, &QTimer::timeout, mainForm.get(), [&] {
            if (mainForm->isLoading())
                return;
            startWhenLoaded.stop();
            mainForm->ButtonStartClick();
        });
        startWhenLoaded.start(10);
    } else if (unattended) {
        QTimer::singleShot(500, mainForm.get(), snap);
    }
    const int loop = app.exec();
    return status ? status : loop;
}

} // namespace

int main(int argc, char** argv)
{
    // Command handlers catch their own errors; this is the last net, so nothing reaches std::terminate.
    try {
        return runProgram(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glimmerpick: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "glimmerpick: unknown error\n");
    }
    return 1;
}
