#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Hands a web address or a mailto: link to the desktop (the default browser or mail program).
// Returns false when the desktop could not open it.
bool OpenWithShell(const QString& url);

// Replaces how links are opened (tests record them instead); an empty function restores the desktop.
void setUrlOpener(std::function<bool(const QUrl&)> opener);
