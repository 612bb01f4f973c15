#pragma once

#include "fetch/IdentityLists.h"

#include <QString>

class Prompter;
class TTFormTextEditor;
class Workspace;

// The main window's commands that open the text editor: Settings > Proxies / Referers / User Agents
// and the URL row's Edit button. Each is a whole command: it runs inside runCommand, so an error
// (a file that cannot be read) ends it with its text in the error box.

// "File proxies.txt must be present in folder resources", and so on.
QString missingIdentityFileMessage(IdentityKind kind);

// Edits the identity list's file in the editor, then reloads the list from disk whatever the user
// did; a failed reload keeps the previous list. A missing file shows its message and changes nothing.
void editIdentityList(Workspace& workspace, Prompter& prompter, TTFormTextEditor& editor, IdentityKind kind);

QString noFileSelectedMessage();

// Edits the URL file at path in the editor, then rebuilds the grid from the file on disk. A path
// that names no file shows "No file selected". Returns true when the grid was read again (the
// caller then refreshes its counters).
bool editUrlFile(Workspace& workspace, Prompter& prompter, TTFormTextEditor& editor, const QString& path);
