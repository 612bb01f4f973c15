#include "ui/FormBuilder.h"

#include "ui/ComboTrackBar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace FormBuilder
{

QPushButton* makeButton(const char* name, const QString& caption, const QString& hint, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QWidget* makePanel(const char* name, int fixedHeight, QWidget* parent)
{
    auto* panel = named(name, new QWidget(parent));
    if (fixedHeight > 0)
        panel->setFixedHeight(fixedHeight);
    return panel;
}

QLabel* makeLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

QWidget* counterBlock(const char* name, const QString& caption1, QLabel* value1, const QString& caption2,
    QLabel* value2, QWidget* parent)
{
    auto* block = new QWidget(parent);
    block->setObjectName(QLatin1String(name));
    auto* grid = new QGridLayout(block);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    for (auto [caption, value] : { std::pair(caption1, value1), std::pair(caption2, value2) }) {
        auto* label = new QLabel(caption, block);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setBuddy(value);
        QFont bold = value->font();
        bold.setPointSizeF(11.25);
        bold.setBold(true);
        value->setFont(bold);
        value->setContentsMargins(5, 0, 0, 0);
        grid->addWidget(label, row, 0);
        grid->addWidget(value, row, 1);
        ++row;
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return block;
}

QWidget* trackBarPanel(const char* name, QLabel* caption, ComboTrackBar* box, QWidget* parent)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFixedWidth(105);
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(1);
    QFont small = caption->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    caption->setFont(small);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    caption->setBuddy(box);
    box->setFixedHeight(22);
    v->addWidget(caption);
    v->addWidget(box);
    return panel;
}

QWidget* checkBoxPanel(const char* name, QCheckBox* box, QWidget* parent)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    auto* h = new QHBoxLayout(panel);
    h->setContentsMargins(10, 0, 0, 0);
    h->addWidget(box);
    return panel;
}

} // namespace FormBuilder
