#pragma once

#include <QString>

class ComboTrackBar;
class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

// Makers of the small control groups the windows are built from. UI thread only.
namespace FormBuilder
{

// Gives a widget (or any object) its component name and returns it.
template <class T> T* named(const char* name, T* object)
{
    object->setObjectName(QLatin1String(name));
    return object;
}
// A plain panel with a fixed height (0: free) for a row of the window.
QWidget* makePanel(const char* name, int fixedHeight, QWidget* parent);

// A command button: a caption, an optional hint (tooltip), never keyboard focus.
QPushButton* makeButton(const char* name, const QString& caption, const QString& hint, QWidget* parent);
QLabel* makeLabel(const char* name, const QString& text, QWidget* parent);
// A counter block: two rows of a right-aligned caption and a bold value label.
QWidget* counterBlock(const char* name, const QString& caption1, QLabel* value1, const QString& caption2,
    QLabel* value2, QWidget* parent);
// A numeric box under its caption; the caption is the box's buddy, so it is the box's accessible name.
QWidget* trackBarPanel(const char* name, QLabel* caption, ComboTrackBar* box, QWidget* parent);
// A check box with 10 pixels of room on its left.
QWidget* checkBoxPanel(const char* name, QCheckBox* box, QWidget* parent);

} // namespace FormBuilder
