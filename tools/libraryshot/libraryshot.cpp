// Renders the library window as a user trying an entry sees it: the grid on "E-mail addresses",
// the test pane on the entry's example with "Remove duplicated" checked. Painted offscreen by
// QWidget::grab, over a copy of the built library so nothing is written beside the program.
#include "app/Workspace.h"
#include "library/RegexLibraryModel.h"
#include "ui/Prompter.h"
#include "ui/RegexTestPane.h"
#include "ui/formRegExLibrary.h"

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

QImage framed(const QImage& window, int shadow)
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

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: glimmerpick_libraryshot RESOURCES_DIR OUTPUT.png\n");
        return 2;
    }
    try {
        QTemporaryDir dir;
        for (const char* name : { "data.db", "proxies.txt", "referers.txt", "user_agents.txt" })
            if (!QFile::copy(QDir(QString::fromLocal8Bit(argv[1])).filePath(QLatin1String(name)),
                    dir.filePath(QLatin1String(name))))
                throw std::runtime_error(std::string("cannot copy ") + name);
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

        const QImage shot = framed(window.grab().toImage(), 6);
        const int margin = 16;
        QImage picture(shot.width() + 2 * margin, shot.height() + 2 * margin, QImage::Format_ARGB32_Premultiplied);
        picture.fill(QColor(0xf6, 0xf5, 0xf4));
        QPainter p(&picture);
        p.drawImage(margin, margin, shot);
        p.end();
        if (!picture.save(QString::fromLocal8Bit(argv[2])))
            throw std::runtime_error(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
