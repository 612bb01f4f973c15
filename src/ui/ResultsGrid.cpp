#include "ui/ResultsGrid.h"

#include "results/StringGridUtil.h"
#include "ui/FailedRowDelegate.h"

#include <QHeaderView>
#include <QScrollBar>

ResultsGrid::ResultsGrid(ResultsModel& rows, QWidget* parent) : QTableView(parent)
{
    setModel(&rows);
    setSortingEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setAlternatingRowColors(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setDragEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setItemDelegateForColumn(ColumnMatchesNumber, new FailedRowDelegate(this));

    // Fixed heights: the view never measures a row, whatever the row count.
    QHeaderView* rowsHeader = verticalHeader();
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowsHeader->setMinimumSectionSize(1);
    rowsHeader->setDefaultSectionSize(RowHeight);
    rowsHeader->hide();

    // Columns are addressed by index everywhere, so they cannot be moved; a header click does nothing.
    QHeaderView* columns = horizontalHeader();
    columns->setSectionsMovable(false);
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setSortIndicatorShown(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    static constexpr int widths[] = { 400, 150, 150, 80 };
    for (int c = 0; c < ColumnMatches; ++c)
        setColumnWidth(c, widths[c]);
    hideMatchList();
    // A reset (a new URL file) must not bring the hidden column back.
    connect(&rows, &QAbstractItemModel::modelReset, this, &ResultsGrid::hideMatchList);
}

void ResultsGrid::hideMatchList()
{
    setColumnHidden(ColumnMatches, true);
}

void ResultsGrid::scrollRowToTop(int row)
{
    verticalScrollBar()->setValue(row);
}
