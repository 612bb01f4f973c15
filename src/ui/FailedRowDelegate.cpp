#include "ui/FailedRowDelegate.h"

bool FailedRowDelegate::isFailed(const QModelIndex& index)
{
    return !index.data(Qt::ToolTipRole).toString().isEmpty();
}

void FailedRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!isFailed(index))
        return;
    option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Disabled, QPalette::Text));
    option->font.setItalic(true);
}
