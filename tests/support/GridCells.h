#pragma once

#include "results/StringGridUtil.h"

#include <array>
#include <vector>

// The grid's cells as plain values, for comparing a whole grid in one expectation.
using GridRows = std::vector<std::array<QString, GridColumnCount>>;

inline GridRows cellsOf(const ResultsModel& m)
{
    GridRows rows;
    for (int r = 0; r < m.rowCount(); ++r) {
        std::array<QString, GridColumnCount> row;
        for (int c = 0; c < GridColumnCount; ++c)
            row[size_t(c)] = m.cell(r, c);
        rows.push_back(row);
    }
    return rows;
}

// rows rows, every cell set to "r<row>c<column>".
inline void fillAll(ResultsModel& m, int rows)
{
    m.setRowCount(rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < GridColumnCount; ++c)
            m.setCell(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
}
