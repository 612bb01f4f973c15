// Renders the README's pictures of the windows offscreen, each painted by QWidget::grab:
// - text-editor.png: the text editor with its find dialog open (More pressed, a match selected, the
//   lines holding it marked), the dialog over the editor's lower right, as a desktop would show them;
// - library-window.png: the library window on "E-mail addresses", its test pane trying the entry's
//   example with "Remove duplicated" checked, over a copy of the built library.
#include "app/Workspace.h"
#include "library/RegexLibraryModel.h"
#include "ui/FindDialog.h"
#include "ui/Prompter.h"
#include "ui/QsciInclude.h"
#include "ui/RegexTestPane.h"
#include "ui/formRegExLibrary.h"
#include "ui/formTextEditor.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <exception>

namespace
{

// Nothing in the picture asks anything; a prompt would be a fault of the script.
class NoPrompter : public Prompter
{
public:
    void message(const QString& text) override
    {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(text));
    }
    bool confirm(const QString&) override { return false; }
    void error(const QString& text) override { std::fprintf(stderr, "unexpected error: %s\n", qPrintable(text)); }
    QString openFile(const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
};

const char* const SampleUrls = "https://example.com/contact\r\n"
                               "https://example.com/team||[a-z0-9._%+-]+@[a-z0-9.-]+\\.[a-z]{2,}\r\n"
                               "https://example.com/blog||<a href=\"([^\"]+)\"||$1\r\n"
                               "https://example.org/shop/items?page=1||<h2 class=\"title\">([^<]+)</h2>||$1\r\n"
                               "https://example.org/shop/items?page=2||<h2 class=\"title\">([^<]+)</h2>||$1\r\n"
                               "https://example.net/press||\\b\\d{4}-\\d{2}-\\d{2}\\b\r\n"
                               "https://example.net/about\r\n";

QImage shadowed(const QImage& window, int shadow)
{
    QImage out(window.width() + shadow, window.height() + shadow, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    for (int i = shadow; i > 0; --i)
        p.fillRect(QRect(i, i, window.width(), window.height()), QColor(0, 0, 0, 90 / i));
    p.drawImage(0, 0, window);
    p.setPen(QColor(0x88, 0x8a, 0x85));
    p.drawRect(0, 0, window.width() - 1, window.height() - 1);
    return out;
}

bool renderTextEditor(const QString& output)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("urls.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(SampleUrls) < 0)
        return false;
    file.close();

    NoPrompter prompter;
    TTFormTextEditor editor(prompter);
    editor.currentFilename = path;
    editor.LoadFromFile(path);
    editor.show();

    FindDialog& find = editor.findDialog();
    find.EditFindWhat->setText(QStringLiteral("shop"));
    find.BtnMoreClick();
    find.ChkWrap->setChecked(true);
    find.BtnSetMarkerClick();
    find.BtnFindClick();
    editor.BtnFindClick();
    QApplication::processEvents();

    const QImage editorImage = shadowed(editor.grab().toImage(), 6);
    const QImage findImage = shadowed(find.grab().toImage(), 6);
    const int margin = 16;
    const QPoint findAt(
        editorImage.width() - findImage.width() / 2, editorImage.height() - findImage.height() + 40);
    QImage picture(std::max(editorImage.width(), findAt.x() + findImage.width()) + margin * 2,
        std::max(editorImage.height(), findAt.y() + findImage.height()) + margin * 2,
        QImage::Format_ARGB32_Premultiplied);
    picture.fill(QColor(0xf6, 0xf5, 0xf4));
    QPainter p(&picture);
    p.drawImage(margin, margin, editorImage);
    p.drawImage(findAt + QPoint(margin, margin), findImage);
    p.end();
    return picture.save(output);
}

bool renderLibraryWindow(const QString& resources, const QString& output)
{
    QTemporaryDir dir;
    for (const char* name : { "data.db", "proxies.txt", "referers.txt", "user_agents.txt" })
        if (!QFile::copy(QDir(resources).filePath(QLatin1String(name)), dir.filePath(QLatin1String(name))))
            throw std::runtime_error(std::string("cannot copy ") + name + " from " + resources.toStdString());
    Workspace workspace(dir.path());
    workspace.startUp();
    NoPrompter prompter;
    TTFormRegExLibrary window(workspace, prompter);
    window.showModeless();

    const int row = workspace.library().findByDescription(QStringLiteral("E-mail addresses")).value_or(0);
    window.GridBindSourceDB1->setCurrentIndex(window.model().index(row, RegexLibraryModel::ColumnPattern));
    RegexTestPane& pane = *window.PanelRegexTest;
    pane.ChkTestRemoveDuplicated->setChecked(true);
    pane.TextFieldTestUrl->setText(QStringLiteral("https://shop.example.org/contact"));
    pane.runPendingTrial();
    QApplication::processEvents();

    const QImage shot = shadowed(window.grab().toImage(), 6);
    const int margin = 16;
    QImage picture(shot.width() + 2 * margin, shot.height() + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    picture.fill(QColor(0xf6, 0xf5, 0xf4));
    QPainter p(&picture);
    p.drawImage(margin, margin, shot);
    p.end();
    return picture.save(output);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: glimmerpick_screenshots OUTPUT_DIR RESOURCES_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString resources = QString::fromLocal8Bit(argv[2]);
    try {
        const QString editor = out.filePath(QStringLiteral("text-editor.png"));
        const QString library = out.filePath(QStringLiteral("library-window.png"));
        for (const QString& failed : { renderTextEditor(editor) ? QString() : editor,
                 renderLibraryWindow(resources, library) ? QString() : library }) {
            if (!failed.isEmpty()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(failed));
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
