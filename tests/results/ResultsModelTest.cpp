#include "results/ResultsExport.h"
#include "results/StringGridUtil.h"
#include "support/GridCells.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "text/FileUtil.h"

#include <gtest/gtest.h>

#include <iterator>

TEST(ResultsModel, FixedColumnsHeadersAndEditability)
{
    ResultsModel m;
    m.setRowCount(1);
    EXPECT_EQ(m.columnCount(), 5);
    const char* headers[] = { "Urls", "Regex Pattern", "Regex Replace", "Matches #", "" };
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(m.headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(headers[c]));
        EXPECT_EQ(bool(m.flags(m.index(0, c)) & Qt::ItemIsEditable), c <= 2) << c;
    }
    EXPECT_FALSE(m.setData(m.index(0, 3), QStringLiteral("7")));
    EXPECT_TRUE(m.cell(0, 3).isEmpty());
    EXPECT_TRUE(m.setData(m.index(0, 1), QStringLiteral("\\d+")));
    EXPECT_EQ(m.cell(0, 1), QStringLiteral("\\d+"));
}

TEST(ClearGridColumn, OtherColumnsAndRowsStay)
{
    for (int column : { 3, 4 }) {
        ResultsModel m;
        fillAll(m, 3);
        GridRows expected = cellsOf(m);
        for (auto& row : expected)
            row[size_t(column)].clear();
        ClearGridColumn(m, column);
        EXPECT_EQ(cellsOf(m), expected) << column;
    }
}

TEST(ClearGridColumn, ZeroClearsEverythingAndDropsRows)
{
    ResultsModel m;
    fillAll(m, 4);
    m.setOutcome(2, QStringLiteral("HTTP 404"));
    ClearGridColumn(m, 0);
    EXPECT_EQ(m.rowCount(), 0);
    ClearGridColumn(m, 0); // already empty
    EXPECT_EQ(m.rowCount(), 0);
    // New rows never bring back old values.
    m.setRowCount(4);
    for (const auto& row : cellsOf(m))
        for (const auto& cell : row)
            EXPECT_TRUE(cell.isEmpty());
    EXPECT_TRUE(m.outcome(2).isEmpty());
}

TEST(FillGridFromList, FieldsToColumns)
{
    const QStringList lines = {
        "http://a/", // URL only
        "http://b/||p", // URL and pattern
        "http://c/||||r", // empty pattern, replacement
        "http://d/||p||r||extra", // a fourth field is dropped
        "", // empty line: empty row
        "http://e/||", // trailing separator
    };
    ResultsModel m;
    FillGridFromList(m, lines, 0, QStringLiteral("||"), 3);
    const GridRows expected = {
        { "http://a/", "", "", "", "" },
        { "http://b/", "p", "", "", "" },
        { "http://c/", "", "r", "", "" },
        { "http://d/", "p", "r", "", "" },
        { "", "", "", "", "" },
        { "http://e/", "", "", "", "" },
    };
    EXPECT_EQ(cellsOf(m), expected);
}

TEST(FillGridFromList, UrlOnlyLoadAfterALoadWithPatternsLeavesThemEmpty)
{
    ResultsModel m;
    FillGridFromList(m, { "u||p||r", "v||q||s" }, 0, QStringLiteral("||"), 3);
    ClearGridColumn(m, 0);
    FillGridFromList(m, { "x", "y" }, 0, QStringLiteral("||"), 3);
    const GridRows expected = { { "x", "", "", "", "" }, { "y", "", "", "", "" } };
    EXPECT_EQ(cellsOf(m), expected);
}

TEST(FillGridFromList, EmptySeparatorWritesWholeLine)
{
    ResultsModel m;
    FillGridFromList(m, { "a||b" }, 1, QString(), 3);
    EXPECT_EQ(m.cell(0, 1), QStringLiteral("a||b"));
    EXPECT_TRUE(m.cell(0, 0).isEmpty());
}

TEST(FillGridFromList, RowsFilledElsewhereMoveInWhole)
{
    ResultsModel loading;
    FillGridFromList(loading, { "u1||p1||r1", "u2" }, 0, QStringLiteral("||"), 3);
    const GridRows filled = cellsOf(loading);
    ResultsModel grid;
    fillAll(grid, 5);
    grid.setOutcome(4, QStringLiteral("HTTP 404"));
    grid.setRows(loading.takeRows());
    EXPECT_EQ(loading.rowCount(), 0);
    EXPECT_EQ(cellsOf(grid), filled);
    // Nothing of the replaced rows survives, outcomes included.
    EXPECT_TRUE(grid.outcome(1).isEmpty());
    EXPECT_FALSE(grid.data(grid.index(1, 3), Qt::ToolTipRole).isValid());
}

TEST(Export, OneLinePerMatchWithCrLf)
{
    ResultsModel m;
    m.setRowCount(4);
    m.setCell(0, ColumnMatches, QStringLiteral("a||b||"));
    // row 1: no matches
    m.setCell(2, ColumnMatches, QString::fromUtf8("c\u00e9\u4e2d\U0001F600"));
    m.setCell(3, ColumnMatches, QStringLiteral("x\ry||||z||"));
    TempDir dir;
    const QString p = dir.path(QStringLiteral("out.txt"));
    ExportColumnValuesToTextFile(m, p, ColumnMatches, QStringLiteral("||"));
    EXPECT_EQ(dir.read("out.txt"),
        QByteArray("a\r\nb\r\n") + QString::fromUtf8("c\u00e9\u4e2d\U0001F600").toUtf8()
            + QByteArray("\r\nx\ry\r\n\r\nz\r\n"));
}

TEST(Export, PiecesAreThoseOfFieldSplittingForAnySeparator)
{
    const QString values[] = { QStringLiteral("a||b"), QStringLiteral("||"), QStringLiteral("||||x||"),
        QString::fromUtf8("\u00e9\u00b7\u00e9\u00b7"), QStringLiteral("plain"),
        QString(QChar(0xD83D)) + QStringLiteral("||") + QChar(0xDE00) + QStringLiteral("|") };
    const QString separators[] = { QStringLiteral("||"), QStringLiteral("|"), QString(),
        QString::fromUtf8("\u00b7"), QString(QChar(0xDE00)) };
    ResultsModel m;
    m.setRowCount(int(std::size(values)));
    for (int r = 0; r < m.rowCount(); ++r)
        m.setCell(r, ColumnMatches, values[r]);
    for (const QString& separator : separators) {
        SCOPED_TRACE(separator.toStdString());
        QByteArray expected;
        for (const QString& value : values) {
            for (const QString& piece : splitFields(value, separator))
                expected += piece.toUtf8() + "\r\n";
        }
        EXPECT_EQ(exportColumnValues(m, ColumnMatches, separator), expected);
    }
}

TEST(Export, EmptyGridGivesEmptyFileAndSecondExportReplacesFirst)
{
    TempDir dir;
    const QString p = dir.path(QStringLiteral("out.txt"));
    ResultsModel m;
    m.setRowCount(2);
    m.setCell(0, ColumnMatches, QStringLiteral("first||second||"));
    ExportColumnValuesToTextFile(m, p, ColumnMatches, QStringLiteral("||"));
    m.setCell(0, ColumnMatches, QStringLiteral("only"));
    ExportColumnValuesToTextFile(m, p, ColumnMatches, QStringLiteral("||"));
    EXPECT_EQ(dir.read("out.txt"), QByteArray("only\r\n"));

    ResultsModel empty;
    ExportColumnValuesToTextFile(empty, p, ColumnMatches, QStringLiteral("||"));
    EXPECT_EQ(dir.read("out.txt"), QByteArray());
}

TEST(Export, UncreatablePathNamesFileAndLeavesNothing)
{
    TempDir dir;
    const QString p = dir.path(QStringLiteral("no-such-folder/out.txt"));
    ResultsModel m;
    m.setRowCount(1);
    m.setCell(0, ColumnMatches, QStringLiteral("a"));
    try {
        ExportColumnValuesToTextFile(m, p, ColumnMatches, QStringLiteral("||"));
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(p)) << e.what();
    }
    EXPECT_FALSE(QFile::exists(p));
}

TEST(ResultsModel, MatchValuesKeptBesideTheTextOrSplitFromIt)
{
    ResultsModel m;
    m.setRowCount(4);
    m.setCell(0, ColumnMatches, QStringLiteral("a||b||"));
    m.setCell(1, ColumnMatches, QStringLiteral("x||y||z||"));
    m.setMatchValuesQuietly(1, { "x||y", "z" });
    m.setCell(2, ColumnMatches, QStringLiteral("one"));
    EXPECT_EQ(m.matchValues(0), (QStringList { "a", "b" }));
    EXPECT_EQ(m.matchValues(1), (QStringList { "x||y", "z" }));
    EXPECT_EQ(m.matchValues(2), QStringList { "one" });
    EXPECT_EQ(m.matchValues(3), QStringList());
    // The kept values only ever stand for the text written with them.
    m.setCell(1, ColumnMatches, QStringLiteral("p||q||"));
    EXPECT_EQ(m.matchValues(1), (QStringList { "p", "q" }));
    m.setMatchValuesQuietly(1, { "" });
    EXPECT_EQ(m.matchValues(1), QStringList { "" });
    m.setRowCount(6);
    EXPECT_EQ(m.matchValues(1), QStringList { "" });
    EXPECT_EQ(m.matchValues(5), QStringList());
    ClearGridColumn(m, ColumnMatches);
    EXPECT_EQ(m.matchValues(1), QStringList());
}

TEST(ResultsModel, RowNumbersFollowTheRowsUntilTheyChange)
{
    ResultsModel m;
    m.setRowCount(3);
    EXPECT_EQ(m.rowNumber(0), 1);
    EXPECT_EQ(m.rowNumber(2), 3);
    m.setRowNumbers({ 2, 5, 8 });
    EXPECT_EQ(m.rowNumber(1), 5);
    EXPECT_EQ(m.headerData(2, Qt::Vertical).toInt(), 8);
    // Editing cells keeps them; a new set of rows does not.
    m.setCell(1, ColumnUrl, QStringLiteral("u"));
    EXPECT_EQ(m.rowNumber(2), 8);
    m.setRowCount(4);
    EXPECT_EQ(m.rowNumber(2), 3);
    m.setRowNumbers({ 7, 8, 9, 10 });
    m.setRows(std::vector<ResultsModel::Row>(2));
    EXPECT_EQ(m.rowNumber(1), 2);
    EXPECT_THROW(m.setRowNumbers({ 1 }), std::invalid_argument);
}
