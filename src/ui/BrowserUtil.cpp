#include "ui/BrowserUtil.h"

#include <QDesktopServices>

namespace
{

std::function<bool(const QUrl&)>& urlOpener()
{
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

} // namespace

bool OpenWithShell(const QString& url)
{
    // Tolerant: the support link carries its subject's blanks unencoded, which strict parsing refuses.
    const QUrl target(url, QUrl::TolerantMode);
    if (!target.isValid())
        return false;
    if (const auto& opener = urlOpener())
        return opener(target);
    return QDesktopServices::openUrl(target);
}

void setUrlOpener(std::function<bool(const QUrl&)> opener)
{
    urlOpener() = std::move(opener);
}
