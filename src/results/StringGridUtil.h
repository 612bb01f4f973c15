#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// Column indices of the results grid; every caller addresses cells by these.
enum GridColumn : int {
    ColumnUrl = 0,
    ColumnRegexPattern = 1,
    ColumnRegexReplace = 2,
    ColumnMatchesNumber = 3,
    ColumnMatches = 4,
    GridColumnCount = 5
};

// The results grid's row store: the only place rows live. One plain vector of rows, so a
// million rows cost a few hundred bytes each rather than an object per cell.
// Thread affinity: the UI thread (the thread of the run controller). Never touch it from a worker
// thread: a run reads its inputs from a view taken at Start and writes back through the controller.
class ResultsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Row {
        std::array<QString, GridColumnCount> cells;
    };

    explicit ResultsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Direct cell access for code (not subject to the user-editable rule).
    const QString& cell(int row, int column) const;
    void setCell(int row, int column, const QString& text);
    const QString& outcome(int row) const;
    void setOutcome(int row, const QString& text);
    // The same without a change notification, for writing many cells at once; then one
    // notifyCellsChanged over the range. setOutcomeQuietly returns whether anything changed.
    void setCellQuietly(int row, int column, const QString& text);
    bool setOutcomeQuietly(int row, const QString& text);
    void notifyCellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn);

    // The row's match values: those a run kept beside the match list text, else that text split at
    // "||" (none when it is empty). A run keeps them only where splitting would not give them back
    // (a value holding "|", or one empty value), so this is exact for every row a run filled; a
    // match list written as text alone (setCell) can only be split.
    QStringList matchValues(int row) const;
    // Written after the row's match list text, which drops the values kept before it.
    void setMatchValuesQuietly(int row, QStringList values);

    // The row's number in the URL list it was loaded from (1-based): row + 1 unless the rows were
    // given other numbers, as a shard of a list is.
    int rowNumber(int row) const;
    // One number per row, in row order; any later change of the row count or of all rows drops them.
    void setRowNumbers(std::vector<int> numbers);

    // Grows with empty rows or drops rows from the end.
    void setRowCount(int count);
    // Replaces every row at once (one model reset).
    void setRows(std::vector<Row> rows);
    // Hands every row over and leaves the model without rows (one model reset). With setRows, rows
    // filled in a model of a loading thread move into the grid's model without a copy.
    std::vector<Row> takeRows();
    // Empties one column in every row with one change notification.
    void clearColumn(int column);
    // Writes the same text into one column of every row with one change notification.
    void fillColumn(int column, const QString& text);

private:
    std::vector<Row> m_rows;
    // Why a fetch gave no page ("HTTP 404", ...), beside the cells and never shown as one.
    // Allocated on the first outcome, so a loaded grid costs nothing for it.
    std::vector<QString> m_outcomes;
    // The same for the match values a run could not leave in the text alone.
    std::vector<QStringList> m_values;
    // Empty: row r is number r + 1.
    std::vector<int> m_rowNumbers;
};

// Index 0 clears the whole grid and drops the rows; any other index empties that column only.
void ClearGridColumn(ResultsModel& grid, int column);

// Sets the row count to lines.size() and fills each row from firstColumn on, splitting each line at
// separator (when not empty and present) and writing at most fieldCount fields.
void FillGridFromList(
    ResultsModel& grid, const QStringList& lines, int firstColumn, const QString& separator, int fieldCount);
