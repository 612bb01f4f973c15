#include "app/CommonVarsC.h"

#include "app/ProductConfig.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

QString executableFilePath()
{
#ifdef Q_OS_WIN
    wchar_t buf[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buf, DWORD(std::size(buf)));
    return QString::fromWCharArray(buf, int(n));
#else
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
#endif
}

CommonVars::CommonVars() : CommonVars(executableFilePath()) { }

CommonVars::CommonVars(const QString& executablePath) :
    SOFTWAREVERSION(QStringLiteral(GLIMMERPICK_VERSION)),
    SOFTWARENAME(QStringLiteral("Morvantis Glimmerpick")),
    MAINFORMCAPTION(
        QString::fromUtf8(ProductConfig::WebSiteName) + QStringLiteral(" Glimmerpick V") + SOFTWAREVERSION),
    SUPPORTMAIL(QString::fromUtf8(ProductConfig::SupportMail))
{
    const QString sep = QDir::separator();
    const QString native = QDir::toNativeSeparators(executablePath);
    const qsizetype cut = native.lastIndexOf(sep);
    MAINDIR = (cut < 0 ? QString() : native.left(cut)) + sep;
    RESOURCESDIR = MAINDIR + QStringLiteral("resources") + sep;
}
