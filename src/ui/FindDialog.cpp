#include "ui/FindDialog.h"

#include "ui/Prompter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

FindDialog::FindDialog(EditorFinder& finder, Prompter& prompter, QWidget* parent) :
    QDialog(parent), m_finder(finder), m_prompter(prompter)
{
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);

    auto* label = new QLabel(QStringLiteral("Find what:"), this);
    EditFindWhat = new QLineEdit(this);
    label->setBuddy(EditFindWhat);

    ChkCaseSensitive = new QCheckBox(QStringLiteral("Case sensitive"), this);
    ChkWholeWord = new QCheckBox(QStringLiteral("Whole word Only"), this);
    ChkWrap = new QCheckBox(QStringLiteral("Wrap at the end of file"), this);

    PanelMore = new QWidget(this);
    ChkExpression = new QCheckBox(QStringLiteral("Expression"), PanelMore);
    ChkCloseIfFound = new QCheckBox(QStringLiteral("Close if Found"), PanelMore);
    ChkNextFile = new QCheckBox(QStringLiteral("Continue to next file"), PanelMore);
    ChkNextFile->setEnabled(false);
    ChkSelection = new QCheckBox(QStringLiteral("Selection"), PanelMore);

    auto* direction = new QGroupBox(QStringLiteral("Direction"), PanelMore);
    RadioUp = new QRadioButton(QStringLiteral("Up"), direction);
    RadioDown = new QRadioButton(QStringLiteral("Down"), direction);
    RadioDown->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(RadioUp);
    directionLayout->addWidget(RadioDown);
    directionLayout->addStretch();

    auto* moreLayout = new QGridLayout(PanelMore);
    moreLayout->setContentsMargins(0, 0, 0, 0);
    moreLayout->addWidget(ChkExpression, 0, 0);
    moreLayout->addWidget(ChkSelection, 0, 1);
    moreLayout->addWidget(ChkCloseIfFound, 1, 0);
    moreLayout->addWidget(ChkNextFile, 1, 1);
    moreLayout->addWidget(direction, 2, 0, 1, 2);
    PanelMore->hide();

    BtnFind = new QPushButton(QStringLiteral("Find"), this);
    BtnFind->setDefault(true);
    BtnPrevious = new QPushButton(QStringLiteral("Previous"), this);
    BtnSetMarker = new QPushButton(QStringLiteral("Set Marker"), this);
    BtnClose = new QPushButton(QStringLiteral("Close"), this);
    BtnMore = new QPushButton(QStringLiteral("More"), this);

    auto* left = new QVBoxLayout;
    auto* findRow = new QHBoxLayout;
    findRow->addWidget(label);
    findRow->addWidget(EditFindWhat, 1);
    left->addLayout(findRow);
    left->addWidget(ChkCaseSensitive);
    left->addWidget(ChkWholeWord);
    left->addWidget(ChkWrap);
    left->addWidget(PanelMore);
    left->addStretch();

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : { BtnFind, BtnPrevious, BtnSetMarker, BtnClose, BtnMore })
        buttons->addWidget(b);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BtnFind, &QPushButton::clicked, this, [this] { BtnFindClick(); });
    connect(BtnPrevious, &QPushButton::clicked, this, [this] { BtnPreviousClick(); });
    connect(BtnSetMarker, &QPushButton::clicked, this, [this] { BtnSetMarkerClick(); });
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(BtnMore, &QPushButton::clicked, this, &FindDialog::BtnMoreClick);
    connect(EditFindWhat, &QLineEdit::textChanged, this, &FindDialog::UpdateButtons);
    UpdateButtons();
}

QString FindDialog::notFoundMessage()
{
    return QStringLiteral("Finished searching the document. The search item was not found.");
}

FindOptions FindDialog::options() const
{
    FindOptions o;
    o.caseSensitive = ChkCaseSensitive->isChecked();
    o.regularExpression = ChkExpression->isChecked();
    o.wholeWord = ChkWholeWord->isChecked();
    o.wrap = ChkWrap->isChecked();
    o.forward = !RadioUp->isChecked();
    o.inSelection = ChkSelection->isChecked();
    return o;
}

void FindDialog::setOptions(const FindOptions& o)
{
    ChkCaseSensitive->setChecked(o.caseSensitive);
    ChkExpression->setChecked(o.regularExpression);
    ChkWholeWord->setChecked(o.wholeWord);
    ChkWrap->setChecked(o.wrap);
    (o.forward ? RadioDown : RadioUp)->setChecked(true);
    ChkSelection->setChecked(o.inSelection);
}

bool FindDialog::isExpanded() const
{
    return !PanelMore->isHidden();
}

void FindDialog::UpdateButtons()
{
    const bool any = !EditFindWhat->text().isEmpty();
    BtnFind->setEnabled(any);
    BtnPrevious->setEnabled(any);
    BtnSetMarker->setEnabled(any);
}

bool FindDialog::search(bool reverse)
{
    if (EditFindWhat->text().isEmpty())
        return false;
    if (!m_finder.find(EditFindWhat->text(), options(), reverse)) {
        m_prompter.message(notFoundMessage());
        return false;
    }
    if (ChkCloseIfFound->isChecked())
        close();
    return true;
}

bool FindDialog::BtnFindClick()
{
    return search(false);
}

bool FindDialog::BtnPreviousClick()
{
    return search(true);
}

bool FindDialog::BtnSetMarkerClick()
{
    if (EditFindWhat->text().isEmpty())
        return false;
    if (m_finder.setMarkers(EditFindWhat->text(), options()) == 0) {
        m_prompter.message(notFoundMessage());
        return false;
    }
    return true;
}

void FindDialog::BtnMoreClick()
{
    const bool expand = !isExpanded();
    PanelMore->setVisible(expand);
    BtnMore->setText(expand ? QStringLiteral("Less") : QStringLiteral("More"));
}
