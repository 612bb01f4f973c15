#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QMenu;
class QWidget;

// Small helpers the windows share. UI thread only.

// Enlarges the window's client area to the minimum in each dimension that is below it. Called from
// resize events, so the user can drag a window smaller for a moment but it springs back.
void EnsureMinClientSize(QWidget* window, int minWidth, int minHeight);

// Where a window of this outer size stands in the middle of the screen area (integer division
// truncating toward zero, so a window larger than the screen gets a negative offset).
QPoint centeredTopLeft(const QRect& screen, const QSize& window);
// Moves the window to the middle of its screen (the full screen, taskbars included).
void CenterFormOnScreen(QWidget* window);

// Opens the menu with its top-left corner at the control's bottom-left corner.
void PopupMenuBelowButton(QWidget* control, QMenu* menu);
