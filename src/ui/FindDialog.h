#pragma once

#include "ui/EditorFinder.h"

#include <QDialog>

class Prompter;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// The text editor's find dialog: modeless, over the editor it searches. "More" shows the options
// beyond the common ones and turns into "Less". "Continue to next file" is shown but disabled,
// since the editor holds one file.
// Thread affinity: the UI thread.
class FindDialog : public QDialog
{
    Q_OBJECT
public:
    FindDialog(EditorFinder& finder, Prompter& prompter, QWidget* parent = nullptr);

    static QString notFoundMessage();

    FindOptions options() const;
    void setOptions(const FindOptions& options);
    // True while the options behind "More" are shown.
    bool isExpanded() const;

    // Handlers (public so that tests drive the dialog without showing it). Each returns whether a
    // match was found; none found shows notFoundMessage.
    bool BtnFindClick();
    bool BtnPreviousClick();
    bool BtnSetMarkerClick();
    void BtnMoreClick();

    QLineEdit* EditFindWhat = nullptr;
    QCheckBox* ChkCaseSensitive = nullptr;
    QCheckBox* ChkExpression = nullptr;
    QCheckBox* ChkWholeWord = nullptr;
    QCheckBox* ChkWrap = nullptr;
    QCheckBox* ChkCloseIfFound = nullptr;
    QCheckBox* ChkNextFile = nullptr;
    QCheckBox* ChkSelection = nullptr;
    QRadioButton* RadioUp = nullptr;
    QRadioButton* RadioDown = nullptr;
    QPushButton* BtnFind = nullptr;
    QPushButton* BtnPrevious = nullptr;
    QPushButton* BtnSetMarker = nullptr;
    QPushButton* BtnClose = nullptr;
    QPushButton* BtnMore = nullptr;
    QWidget* PanelMore = nullptr;

private:
    bool search(bool reverse);
    void UpdateButtons();

    EditorFinder& m_finder;
    Prompter& m_prompter;
};
