#include "results/RowShard.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <vector>

TEST(RowShard, ParsesKOfNAndRefusesTheRest)
{
    struct Case {
        const char* text;
        int index; // 0: refused
        int count;
    };
    const Case cases[] = {
        { "1/1", 1, 1 },
        { "2/3", 2, 3 },
        { "3/3", 3, 3 },
        { "07/10", 7, 10 },
        { "0/3", 0, 0 },
        { "4/3", 0, 0 },
        { "1/0", 0, 0 },
        { "-1/3", 0, 0 },
        { "+1/3", 0, 0 },
        { " 1/3", 0, 0 },
        { "1/3 ", 0, 0 },
        { "1/3\n", 0, 0 },
        { "1", 0, 0 },
        { "1/", 0, 0 },
        { "/3", 0, 0 },
        { "a/b", 0, 0 },
        { "1/2/3", 0, 0 },
        { "1.0/3", 0, 0 },
        { "0x1/3", 0, 0 },
        { "1/99999999999", 0, 0 },
        { "", 0, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<RowShard> s = RowShard::parse(QString::fromUtf8(c.text));
        ASSERT_EQ(s.has_value(), c.index != 0);
        if (s) {
            EXPECT_EQ(s->index(), c.index);
            EXPECT_EQ(s->count(), c.count);
        }
    }
}

TEST(RowShard, NShardsTakeEveryLineOnceWithItsNumber)
{
    const QStringList lines = { "l1", "l2", "l3", "l4", "l5", "l6", "l7" };
    struct Case {
        int index, count;
        std::vector<int> numbers;
    };
    const Case cases[] = {
        { 1, 1, { 1, 2, 3, 4, 5, 6, 7 } }, { 1, 3, { 1, 4, 7 } }, { 2, 3, { 2, 5 } }, { 3, 3, { 3, 6 } },
        { 7, 7, { 7 } }, { 8, 9, {} }, // fewer lines than shards
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << "/" << c.count);
        const RowShard shard(c.index, c.count);
        std::vector<int> numbers = { 99 };
        const QStringList kept = shard.select(lines, numbers);
        EXPECT_EQ(numbers, c.numbers);
        ASSERT_EQ(kept.size(), qsizetype(c.numbers.size()));
        for (size_t i = 0; i < numbers.size(); ++i) {
            EXPECT_EQ(kept[qsizetype(i)], lines[numbers[i] - 1]);
            EXPECT_TRUE(shard.contains(numbers[i]));
        }
        int contained = 0;
        for (int n = 1; n <= lines.size(); ++n)
            contained += shard.contains(n);
        EXPECT_EQ(contained, int(c.numbers.size()));
    }
    EXPECT_THROW(RowShard(0, 3), std::invalid_argument);
    EXPECT_THROW(RowShard(4, 3), std::invalid_argument);
}
