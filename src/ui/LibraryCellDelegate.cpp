#include "ui/LibraryCellDelegate.h"

#include "library/RegexLibraryModel.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPersistentModelIndex>

namespace
{

// Where an editor keeps the cell it edits and the value the cell had when it opened.
const char* const EditedIndex = "glimmerpickEditedIndex";
const char* const OpeningValue = "glimmerpickOpeningValue";

bool isNull(const QModelIndex& index)
{
    return index.data(RegexLibraryModel::IsNullRole).toBool();
}

} // namespace

QWidget* LibraryCellDelegate::createEditor(
    QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* editor = new QLineEdit(parent); // owned by the view, which deletes it when editing ends
    editor->setFrame(false);
    editor->setPlaceholderText(RegexLibraryModel::nullText());
    editor->setProperty(EditedIndex, QVariant::fromValue(QPersistentModelIndex(index)));
    editor->setProperty(OpeningValue, index.data(Qt::EditRole));
    auto* self = const_cast<LibraryCellDelegate*>(this); // createEditor is const, commitData is not
    connect(editor, &QLineEdit::textEdited, self, [self, editor] { Q_EMIT self->commitData(editor); });
    return editor;
}

void LibraryCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    const QString text = index.data(Qt::EditRole).toString();
    // Each keystroke comes back here through the model; rewriting the same text would move the caret.
    if (line->text() == text)
        return;
    line->setText(text);
}

void LibraryCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    if (!line->isModified() && isNull(index))
        return; // opened and left untouched: still NULL
    model->setData(index, line->text(), Qt::EditRole);
}

void LibraryCellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (isNull(index)) {
        option->font.setItalic(true);
        option->palette.setBrush(QPalette::Text, option->palette.brush(QPalette::PlaceholderText));
        option->palette.setBrush(QPalette::HighlightedText, option->palette.brush(QPalette::PlaceholderText));
    }
}

bool LibraryCellDelegate::eventFilter(QObject* object, QEvent* event)
{
    auto* line = qobject_cast<QLineEdit*>(object);
    if (line && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        const auto index = line->property(EditedIndex).value<QPersistentModelIndex>();
        if (index.isValid() && line->isModified()) {
            auto* model = const_cast<QAbstractItemModel*>(index.model());
            model->setData(index, line->property(OpeningValue), Qt::EditRole);
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}
