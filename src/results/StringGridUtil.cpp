#include "results/StringGridUtil.h"

#include "text/FileUtil.h"

#include <stdexcept>

namespace
{
const QString& emptyText()
{
    static const QString empty;
    return empty;
}
} // namespace

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) { }

int ResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : GridColumnCount;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_rows[size_t(index.row())].cells[size_t(index.column())];
    case Qt::TextAlignmentRole:
        if (index.column() == ColumnMatchesNumber)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::ToolTipRole:
        if (index.column() == ColumnMatchesNumber && !outcome(index.row()).isEmpty())
            return outcome(index.row());
        return {};
    default:
        return {};
    }
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    setCell(index.row(), index.column(), value.toString());
    return true;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return rowNumber(section);
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColumnUrl:
        return QStringLiteral("Urls");
    case ColumnRegexPattern:
        return QStringLiteral("Regex Pattern");
    case ColumnRegexReplace:
        return QStringLiteral("Regex Replace");
    case ColumnMatchesNumber:
        return QStringLiteral("Matches #");
    default:
        return QString();
    }
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (index.column() <= ColumnRegexReplace)
        f |= Qt::ItemIsEditable;
    return f;
}

const QString& ResultsModel::cell(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()) || column < 0 || column >= GridColumnCount)
        return emptyText();
    return m_rows[size_t(row)].cells[size_t(column)];
}

void ResultsModel::setCell(int row, int column, const QString& text)
{
    setCellQuietly(row, column, text);
    const QModelIndex i = index(row, column);
    Q_EMIT dataChanged(i, i, { Qt::DisplayRole, Qt::EditRole });
}

void ResultsModel::setCellQuietly(int row, int column, const QString& text)
{
    if (row < 0 || row >= int(m_rows.size()) || column < 0 || column >= GridColumnCount)
        throw std::out_of_range("grid cell out of range");
    m_rows[size_t(row)].cells[size_t(column)] = text;
    if (column == ColumnMatches && size_t(row) < m_values.size())
        m_values[size_t(row)].clear();
}

void ResultsModel::notifyCellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn)
{
    Q_EMIT dataChanged(index(firstRow, firstColumn), index(lastRow, lastColumn),
        { Qt::DisplayRole, Qt::EditRole, Qt::ToolTipRole });
}

const QString& ResultsModel::outcome(int row) const
{
    if (row < 0 || row >= int(m_outcomes.size()))
        return emptyText();
    return m_outcomes[size_t(row)];
}

void ResultsModel::setOutcome(int row, const QString& text)
{
    if (!setOutcomeQuietly(row, text))
        return;
    const QModelIndex i = index(row, ColumnMatchesNumber);
    Q_EMIT dataChanged(i, i, { Qt::ToolTipRole });
}

bool ResultsModel::setOutcomeQuietly(int row, const QString& text)
{
    if (row < 0 || row >= int(m_rows.size()))
        throw std::out_of_range("grid row out of range");
    if (m_outcomes.size() != m_rows.size()) {
        if (text.isEmpty())
            return false;
        m_outcomes.resize(m_rows.size());
    }
    m_outcomes[size_t(row)] = text;
    return true;
}

QStringList ResultsModel::matchValues(int row) const
{
    if (row >= 0 && size_t(row) < m_values.size() && !m_values[size_t(row)].isEmpty())
        return m_values[size_t(row)];
    const QString& text = cell(row, ColumnMatches);
    if (text.isEmpty())
        return {};
    return splitFields(text, FieldSeparator);
}

void ResultsModel::setMatchValuesQuietly(int row, QStringList values)
{
    if (row < 0 || row >= int(m_rows.size()))
        throw std::out_of_range("grid row out of range");
    if (m_values.size() != m_rows.size()) {
        if (values.isEmpty())
            return;
        m_values.resize(m_rows.size());
    }
    m_values[size_t(row)] = std::move(values);
}

int ResultsModel::rowNumber(int row) const
{
    if (row >= 0 && size_t(row) < m_rowNumbers.size())
        return m_rowNumbers[size_t(row)];
    return row + 1;
}

void ResultsModel::setRowNumbers(std::vector<int> numbers)
{
    if (numbers.size() != m_rows.size())
        throw std::invalid_argument("one row number per row");
    m_rowNumbers = std::move(numbers);
    if (!m_rows.empty())
        Q_EMIT headerDataChanged(Qt::Vertical, 0, int(m_rows.size()) - 1);
}

void ResultsModel::setRowCount(int count)
{
    count = std::max(count, 0);
    const int old = int(m_rows.size());
    if (count != old)
        m_rowNumbers.clear();
    const auto resizeBeside = [count](auto& column) {
        if (!column.empty())
            column.resize(size_t(count));
    };
    if (count > old) {
        beginInsertRows({}, old, count - 1);
        m_rows.resize(size_t(count));
        resizeBeside(m_outcomes);
        resizeBeside(m_values);
        endInsertRows();
    } else if (count < old) {
        beginRemoveRows({}, count, old - 1);
        m_rows.resize(size_t(count));
        m_rows.shrink_to_fit();
        resizeBeside(m_outcomes);
        resizeBeside(m_values);
        endRemoveRows();
    }
}

void ResultsModel::setRows(std::vector<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_outcomes.clear();
    m_values.clear();
    m_rowNumbers.clear();
    endResetModel();
}

std::vector<ResultsModel::Row> ResultsModel::takeRows()
{
    beginResetModel();
    std::vector<Row> rows = std::move(m_rows);
    m_rows.clear();
    m_outcomes.clear();
    endResetModel();
    return rows;
}

void ResultsModel::clearColumn(int column)
{
    if (column < 0 || column >= GridColumnCount || m_rows.empty())
        return;
    for (Row& r : m_rows)
        r.cells[size_t(column)].clear();
    if (column == ColumnMatchesNumber)
        m_outcomes.clear();
    if (column == ColumnMatches)
        m_values.clear();
    Q_EMIT dataChanged(index(0, column), index(int(m_rows.size()) - 1, column));
}

void ResultsModel::fillColumn(int column, const QString& text)
{
    if (column < 0 || column >= GridColumnCount || m_rows.empty())
        return;
    for (Row& r : m_rows)
        r.cells[size_t(column)] = text;
    if (column == ColumnMatches)
        m_values.clear();
    Q_EMIT dataChanged(index(0, column), index(int(m_rows.size()) - 1, column));
}

void ClearGridColumn(ResultsModel& grid, int column)
{
    if (column != 0) {
        grid.clearColumn(column);
        return;
    }
    // Cells first, then the rows, so nothing of this load can reappear in rows of a later one.
    for (int c = 0; c < GridColumnCount; ++c)
        grid.clearColumn(c);
    grid.setRowCount(0);
}

void FillGridFromList(
    ResultsModel& grid, const QStringList& lines, int firstColumn, const QString& separator, int fieldCount)
{
    // Start from the grid's current rows (cells no field reaches are not written), then swap in at once.
    std::vector<ResultsModel::Row> rows(size_t(lines.size()));
    for (qsizetype r = 0; r < lines.size() && r < grid.rowCount(); ++r)
        for (int c = 0; c < GridColumnCount; ++c)
            rows[size_t(r)].cells[size_t(c)] = grid.cell(int(r), c);

    for (qsizetype r = 0; r < lines.size(); ++r) {
        auto& cells = rows[size_t(r)].cells;
        const QString& line = lines[r];
        if (!separator.isEmpty() && line.contains(separator)) {
            const QStringList fields = splitFields(line, separator);
            for (qsizetype i = 0; i < fields.size() && i < fieldCount; ++i) {
                const qsizetype c = firstColumn + i;
                if (c >= 0 && c < GridColumnCount)
                    cells[size_t(c)] = fields[i];
            }
        } else if (firstColumn >= 0 && firstColumn < GridColumnCount) {
            cells[size_t(firstColumn)] = line;
        }
    }
    grid.setRows(std::move(rows));
}
