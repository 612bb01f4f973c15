#pragma once

#include <QString>

// Read-only application constants. Plain value object; safe to read from any thread.
class CommonVars
{
public:
    // Folders are derived from the running executable's own path.
    CommonVars();
    // For tests and for tools that run from elsewhere: folders derived from the given executable path.
    explicit CommonVars(const QString& executablePath);

    QString SOFTWAREVERSION;
    QString SOFTWARENAME;
    QString MAINFORMCAPTION;
    QString SUPPORTMAIL;
    QString MAINDIR;
    QString RESOURCESDIR;
};

// Full path of the running executable (works before and without a QCoreApplication).
QString executableFilePath();
