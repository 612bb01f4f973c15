#include "library/RegexLibraryModel.h"

#include <algorithm>
#include <stdexcept>

namespace
{

// The entry's fields in column order.
constexpr std::optional<QString> RegexLibraryEntry::*Fields[RegexLibraryModel::ColumnCount] = {
    &RegexLibraryEntry::description,
    &RegexLibraryEntry::regex_pattern,
    &RegexLibraryEntry::regex_replacement,
    &RegexLibraryEntry::example,
};

} // namespace

QString RegexLibraryModel::nullText()
{
    return QStringLiteral("(null)");
}

RegexLibraryModel::RegexLibraryModel(RegexLibraryStore& store, QObject* parent) :
    QAbstractTableModel(parent), m_store(store), m_current(store.count() > 0 ? 0 : -1)
{
}

int RegexLibraryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_store.count() + (m_state == LibraryEditState::Insert ? 1 : 0);
}

int RegexLibraryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

int RegexLibraryModel::storeRow(int row) const
{
    return m_state == LibraryEditState::Insert && row > m_current ? row - 1 : row;
}

RegexLibraryEntry RegexLibraryModel::entryAt(int row) const
{
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("no such row in the regex library");
    return editing() && row == m_current ? m_buffer : m_store.entry(storeRow(row));
}

std::optional<RegexLibraryEntry> RegexLibraryModel::currentEntry() const
{
    if (m_current < 0)
        return std::nullopt;
    return entryAt(m_current);
}

QVariant RegexLibraryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const RegexLibraryEntry& e
        = editing() && index.row() == m_current ? m_buffer : m_store.entry(storeRow(index.row()));
    const std::optional<QString>& value = e.*Fields[index.column()];
    switch (role) {
    case Qt::DisplayRole:
        return value ? *value : nullText();
    case Qt::EditRole:
        return value ? QVariant(*value) : QVariant();
    case IsNullRole:
        return !value.has_value();
    default:
        return {};
    }
}

QVariant RegexLibraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    // The last header is the column's own name, as the binding shows it.
    static const char* const headers[ColumnCount]
        = { "Description", "Regex Pattern", "Regex Replacement", "example" };
    return QString::fromLatin1(headers[section]);
}

Qt::ItemFlags RegexLibraryModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags base = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return m_store.isOpen() ? base | Qt::ItemIsEditable : base;
}

bool RegexLibraryModel::setData(const QModelIndex& at, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !at.isValid() || at.row() >= rowCount() || at.column() >= ColumnCount)
        return false;
    std::optional<QString> text;
    if (value.isValid())
        text = value.toString().isNull() ? QStringLiteral("") : value.toString();
    if (at.row() != m_current) {
        try {
            moveTo(at.row());
        } catch (const std::exception& e) {
            Q_EMIT editRefused(QString::fromUtf8(e.what()));
            return false;
        }
    }
    const int row = m_current;
    if (entryAt(row).*Fields[at.column()] == text)
        return true;
    if (!editing())
        beginEdit();
    m_buffer.*Fields[at.column()] = std::move(text);
    m_modified = true;
    const QModelIndex changed = index(row, at.column());
    Q_EMIT dataChanged(changed, changed, { Qt::DisplayRole, Qt::EditRole, IsNullRole });
    Q_EMIT stateChanged();
    return true;
}

NavigatorEnabled RegexLibraryModel::navigator() const
{
    return navigatorEnabled(m_store.isOpen(), rowCount(), m_current, m_state);
}

void RegexLibraryModel::moveTo(int row)
{
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("no such row in the regex library");
    if (row != m_current)
        setCurrent(settleKeeping(row));
}

void RegexLibraryModel::first()
{
    settle();
    if (rowCount() > 0)
        setCurrent(0);
}

void RegexLibraryModel::prior()
{
    settle();
    if (m_current > 0)
        setCurrent(m_current - 1);
}

void RegexLibraryModel::next()
{
    settle();
    if (m_current + 1 < rowCount())
        setCurrent(m_current + 1);
}

void RegexLibraryModel::last()
{
    settle();
    if (rowCount() > 0)
        setCurrent(rowCount() - 1);
}

void RegexLibraryModel::insert()
{
    settle();
    const int at = std::max(m_current, 0);
    beginInsertRows(QModelIndex(), at, at);
    m_state = LibraryEditState::Insert;
    m_buffer = {};
    m_modified = false;
    m_current = at;
    endInsertRows();
    Q_EMIT currentRowChanged(m_current);
    Q_EMIT stateChanged();
}

void RegexLibraryModel::edit()
{
    if (editing() || m_current < 0)
        return;
    beginEdit();
    Q_EMIT stateChanged();
}

void RegexLibraryModel::post()
{
    if (!editing())
        return;
    if (m_state == LibraryEditState::Edit && !m_modified) {
        cancel(); // nothing to write
        return;
    }
    write();
}

void RegexLibraryModel::cancel()
{
    if (m_state == LibraryEditState::Edit) {
        dropEdit();
        Q_EMIT dataChanged(index(m_current, 0), index(m_current, ColumnCount - 1));
        Q_EMIT stateChanged();
    } else if (m_state == LibraryEditState::Insert) {
        const int at = m_current;
        beginRemoveRows(QModelIndex(), at, at);
        dropEdit();
        m_current = std::min(at, m_store.count() - 1);
        endRemoveRows();
        Q_EMIT currentRowChanged(m_current);
        Q_EMIT stateChanged();
    }
}

void RegexLibraryModel::remove()
{
    if (m_current < 0)
        return;
    if (m_state == LibraryEditState::Insert) {
        cancel();
        return;
    }
    const int at = m_current;
    beginResetModel();
    try {
        m_store.remove(at);
    } catch (...) {
        endResetModel();
        Q_EMIT currentRowChanged(m_current);
        throw;
    }
    dropEdit();
    m_current = std::min(at, m_store.count() - 1);
    endResetModel();
    Q_EMIT currentRowChanged(m_current);
    Q_EMIT stateChanged();
    Q_EMIT libraryChanged();
}

void RegexLibraryModel::refresh()
{
    settle();
    const QVariant key = m_current >= 0 ? m_store.entry(m_current).key : QVariant();
    beginResetModel();
    try {
        m_store.reload();
    } catch (...) {
        endResetModel();
        Q_EMIT currentRowChanged(m_current);
        throw;
    }
    const std::vector<RegexLibraryEntry>& entries = m_store.entries();
    const auto same = std::find_if(entries.begin(), entries.end(),
        [&key](const RegexLibraryEntry& e) { return key.isValid() && e.key == key; });
    if (same != entries.end())
        m_current = int(same - entries.begin());
    else
        m_current = entries.empty() ? -1 : std::clamp(m_current, 0, int(entries.size()) - 1);
    endResetModel();
    Q_EMIT currentRowChanged(m_current);
    Q_EMIT stateChanged();
}

void RegexLibraryModel::dropEdit()
{
    m_state = LibraryEditState::Browse;
    m_buffer = {};
    m_modified = false;
}

void RegexLibraryModel::settle()
{
    settleKeeping(m_current);
}

void RegexLibraryModel::reset()
{
    beginResetModel();
    dropEdit();
    m_current = m_store.count() == 0 ? -1 : std::clamp(m_current, 0, m_store.count() - 1);
    endResetModel();
    Q_EMIT currentRowChanged(m_current);
    Q_EMIT stateChanged();
}

int RegexLibraryModel::settleKeeping(int row)
{
    if (!editing())
        return row;
    const int at = m_current;
    if (m_state == LibraryEditState::Edit) {
        if (!m_modified) {
            cancel();
            return row;
        }
        const int to = write();
        // The posted entry moved from at to its sorted place; the rows between shift by one.
        if (row == at)
            return to;
        if (at < row && row <= to)
            return row - 1;
        if (to <= row && row < at)
            return row + 1;
        return row;
    }
    // Inserting: the new row at `at` is no row of the store.
    const int below = row > at ? row - 1 : row;
    if (!m_modified) {
        cancel();
        return row == at ? m_current : below;
    }
    const int to = write();
    if (row == at)
        return to;
    return below >= to ? below + 1 : below;
}

void RegexLibraryModel::setCurrent(int row)
{
    if (row == m_current)
        return;
    m_current = row;
    Q_EMIT currentRowChanged(row);
    Q_EMIT stateChanged();
}

void RegexLibraryModel::beginEdit()
{
    m_buffer = m_store.entry(m_current);
    m_state = LibraryEditState::Edit;
    m_modified = false;
}

int RegexLibraryModel::write()
{
    const bool inserting = m_state == LibraryEditState::Insert;
    beginResetModel();
    int to = -1;
    try {
        to = inserting ? m_store.insert(m_buffer) : m_store.update(m_current, m_buffer);
    } catch (...) {
        // Nothing changed; the views were told of a reset all the same and must find the cursor again.
        endResetModel();
        Q_EMIT currentRowChanged(m_current);
        throw;
    }
    dropEdit();
    m_current = to;
    endResetModel();
    Q_EMIT currentRowChanged(m_current);
    Q_EMIT stateChanged();
    Q_EMIT libraryChanged();
    return to;
}
