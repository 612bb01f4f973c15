#pragma once

#include <QTableView>

class ResultsModel;

// The results grid: a view over the row store (no copy of the rows). Fixed row height, no row
// header, no sorting, no column moving, whole-row selection, in-place editing where the model allows
// it (columns 0 to 2); the match list column is hidden. With fixed row heights the view does no
// per-row work beyond the visible rows, so a million rows scroll smoothly.
// Thread affinity: the UI thread.
class ResultsGrid : public QTableView
{
    Q_OBJECT
public:
    static constexpr int RowHeight = 21;

    explicit ResultsGrid(ResultsModel& rows, QWidget* parent = nullptr);

    // Scrolls so that the row is the first one visible (as far as the scroll range allows); the
    // horizontal position stays.
    void scrollRowToTop(int row);

private:
    void hideMatchList();
};
