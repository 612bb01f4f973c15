#pragma once

#include <QStyledItemDelegate>

// Paints the count of a row whose fetch failed (its cell has an outcome as tooltip) muted and in
// italics, so failed rows stand out from pages with no matches. Thread affinity: the UI thread.
class FailedRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static bool isFailed(const QModelIndex& index);
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
