#include "app/ApplyRegex.h"
#include "results/StringGridUtil.h"
#include "support/GridCells.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

TEST(ApplyLibraryEntry, NullLeavesTheCellAndEmptyTextEmptiesIt)
{
    const std::optional<QString> null;
    const std::optional<QString> empty = QString(QLatin1String(""));
    const std::optional<QString> set = QStringLiteral("<b>(.*?)</b>");
    const struct {
        std::optional<QString> pattern, replacement;
    } cases[] = { { set, null }, { null, empty }, { empty, set }, { null, null }, { set, empty } };

    for (const auto& c : cases) {
        ResultsModel grid;
        fillAll(grid, 3);
        GridRows expected = cellsOf(grid);
        for (auto& row : expected) {
            if (c.pattern)
                row[ColumnRegexPattern] = *c.pattern;
            if (c.replacement)
                row[ColumnRegexReplace] = *c.replacement;
        }
        const RegexLibraryEntry entry { {}, QStringLiteral("d"), c.pattern, c.replacement, QStringLiteral("ex") };
        applyLibraryEntry(grid, entry);
        EXPECT_EQ(cellsOf(grid), expected)
            << c.pattern.value_or("NULL").toStdString() << " / " << c.replacement.value_or("NULL").toStdString();
        applyLibraryEntry(grid, entry);
        EXPECT_EQ(cellsOf(grid), expected) << "applying twice is applying once";
    }

    ResultsModel none;
    applyLibraryEntry(none, { {}, {}, set, set, {} });
    EXPECT_EQ(none.rowCount(), 0);
}

TEST(LibraryListLine, DescriptionPatternReplacementWithNullAsEmpty)
{
    EXPECT_EQ(libraryListLine({ 1, QStringLiteral("Links"), QStringLiteral("<a(.*?)>"), QStringLiteral("$1"),
                  QStringLiteral("ex") }),
        QStringLiteral("Links\t<a(.*?)>\t$1"));
    EXPECT_EQ(libraryListLine({ {}, std::nullopt, QStringLiteral("\\d+"), std::nullopt, std::nullopt }),
        QStringLiteral("\t\\d+\t"));
}
