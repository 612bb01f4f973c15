#include "ui/GuiUtil.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QWidget>

void EnsureMinClientSize(QWidget* window, int minWidth, int minHeight)
{
    const QSize now = window->size();
    const QSize wanted(std::max(now.width(), minWidth), std::max(now.height(), minHeight));
    // The resize raises another resize event, in which nothing changes any more.
    if (wanted != now)
        window->resize(wanted);
}

QPoint centeredTopLeft(const QRect& screen, const QSize& window)
{
    return screen.topLeft()
        + QPoint((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2);
}

void CenterFormOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The outer size: before the window is shown it has no frame yet, so this is its client size.
    window->move(centeredTopLeft(screen->geometry(), window->frameGeometry().size()));
}

void PopupMenuBelowButton(QWidget* control, QMenu* menu)
{
    // mapToGlobal walks every parent, so nested layouts and a moved window are accounted for.
    menu->popup(control->mapToGlobal(QPoint(0, control->height())));
}
