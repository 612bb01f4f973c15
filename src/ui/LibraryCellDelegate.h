#pragma once

#include <QStyledItemDelegate>

// Shows and edits the library grid's cells with NULL kept apart from an empty text: a NULL cell is
// drawn in the placeholder colour, in italics, and its editor starts empty with the placeholder.
// Leaving such an editor untouched keeps NULL; anything typed, even typed and erased, is a text.
// Every keystroke is handed to the model at once, so the open edit (and what is tried on it) always
// holds what the editor shows. Escape puts back the value the cell had when the editor opened.
// Thread affinity: the UI thread.
class LibraryCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(
        QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* editor, QEvent* event) override;
};
