#include "ui/SettingsCommands.h"

#include "app/Workspace.h"
#include "ui/Prompter.h"
#include "ui/formTextEditor.h"

#include <QFileInfo>

namespace
{

// A folder of that name is no file to edit.
bool isFile(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

} // namespace

QString missingIdentityFileMessage(IdentityKind kind)
{
    return QStringLiteral("File %1 must be present in folder resources").arg(identityFileName(kind));
}

QString noFileSelectedMessage()
{
    return QStringLiteral("No file selected");
}

void editIdentityList(Workspace& workspace, Prompter& prompter, TTFormTextEditor& editor, IdentityKind kind)
{
    runCommand(prompter, [&] {
        const QString path = workspace.ResourcesFilesPath() + identityFileName(kind);
        if (!isFile(path)) {
            prompter.message(missingIdentityFileMessage(kind));
            return;
        }
        editor.editFile(path);
        // A run may be drawing from the list right now: the reload swaps in a new snapshot.
        workspace.lists().reloadList(kind, path);
    });
}

bool editUrlFile(Workspace& workspace, Prompter& prompter, TTFormTextEditor& editor, const QString& path)
{
    bool reloaded = false;
    runCommand(prompter, [&] {
        if (!isFile(path)) {
            prompter.message(noFileSelectedMessage());
            return;
        }
        editor.editFile(path);
        // Read again whether or not the user saved: the grid shows the file as it is on disk.
        workspace.loadUrlFile(path);
        reloaded = true;
    });
    return reloaded;
}
