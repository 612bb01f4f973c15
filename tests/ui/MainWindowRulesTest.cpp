#include "ui/MainWindowRules.h"
#include "engine/RunSummary.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace MainWindowRules;

TEST(MainWindowRules, ThreadCountRangeFollowsTheProcessors)
{
    struct Case {
        int processors;
        TrackBarRange range;
        int offered;
    };
    const Case cases[] = {
        { 1, { 1, 60, 1 }, 60 },
        { 4, { 4, 60, 4 }, 15 },
        { 7, { 7, 56, 7 }, 8 },
        { 8, { 8, 56, 8 }, 7 },
        { 32, { 32, 32, 32 }, 1 },
        { 64, { 64, 64, 64 }, 1 },
        // A platform reporting no processors counts as one.
        { 0, { 1, 60, 1 }, 60 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.processors);
        const TrackBarRange r = threadCountRange(c.processors);
        EXPECT_EQ(r, c.range) << r.minimum << ".." << r.maximum << " step " << r.frequency;
        const QList<int> values = offeredValues(r);
        ASSERT_EQ(values.size(), c.offered);
        EXPECT_EQ(values.front(), c.range.minimum);
        EXPECT_EQ(values.back(), c.range.maximum);
        for (int v : values)
            EXPECT_EQ(v % c.range.frequency, 0) << v;
    }
    EXPECT_EQ(timeoutRange(), (TrackBarRange { 3, 30, 0 }));
}

TEST(MainWindowRules, TypedCommitsClampTakeOrRevert)
{
    struct Case {
        const char* typed;
        bool accepted;
        const char* shown;
    };
    const Case cases[] = {
        { "45", true, "30" },
        { "1", true, "3" },
        { "-5", true, "3" },
        { "12", true, "12" },
        { "+12", true, "12" },
        { "07", true, "7" },
        { "7.0", true, "7" },
        // A fraction inside the range stays as typed; the change handler refuses it.
        { "10.5", true, "10.5" },
        { "10,5", true, "10,5" },
        { "45.5", true, "30" },
        { "0.5", true, "3" },
        // No number at all: the previous value comes back.
        { "", false, "" },
        { "+", false, "" },
        { "-", false, "" },
        { ".", false, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const TypedCommit commit = commitTypedNumber(QString::fromLatin1(c.typed), timeoutRange());
        EXPECT_EQ(commit.accepted, c.accepted);
        if (c.accepted) {
            EXPECT_EQ(commit.shown, QLatin1String(c.shown));
        }
    }
}

TEST(MainWindowRules, WholeNumberConversionNamesTheText)
{
    EXPECT_EQ(toWholeNumber(QStringLiteral("30")), 30);
    EXPECT_EQ(toWholeNumber(QStringLiteral("-3")), -3);
    for (const char* bad : { "10.5", "", "abc", "99999999999" }) {
        try {
            toWholeNumber(QString::fromLatin1(bad));
            ADD_FAILURE() << "accepted " << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("'%1' is not a valid integer value").arg(bad));
        }
    }
}

TEST(MainWindowRules, ScrollRuleStartsAtRowTen)
{
    EXPECT_EQ(topRowWhenStarted(0), std::nullopt);
    EXPECT_EQ(topRowWhenStarted(9), std::nullopt);
    EXPECT_EQ(topRowWhenStarted(10), 0);
    EXPECT_EQ(topRowWhenStarted(99), 89);
}

TEST(MainWindowRules, SummaryLine)
{
    struct Case {
        int started;
        int failed;
        qint64 matches;
        qint64 ms;
        int notRun;
        bool aborted;
        bool stopped;
        const char* text;
    };
    const Case cases[] = {
        { 1234, 17, 45678, 62000, 0, false, false, "1,234 pages, 17 failed, 45,678 matches in 00:01:02" },
        { 1, 0, 1, 999, 0, false, false, "1 page, 0 failed, 1 match in 00:00:00" },
        { 0, 0, 0, 0, 0, false, false, "0 pages, 0 failed, 0 matches in 00:00:00" },
        { 5, 1, 12, 3000, 95, true, false, "5 pages, 1 failed, 12 matches in 00:00:03 (aborted, 95 not run)" },
        { 5, 0, 0, 3000, 1995, true, true, "5 pages, 0 failed, 0 matches in 00:00:03 (stopped, 1,995 not run)" },
        // Rows no worker could take, without an abort.
        { 2, 0, 0, 1000, 3, false, false, "2 pages, 0 failed, 0 matches in 00:00:01 (3 not run)" },
        { 1000000, 2500, 1234567, 90061000, 0, false, false,
            "1,000,000 pages, 2,500 failed, 1,234,567 matches in 01:01:01" },
    };
    for (const Case& c : cases) {
        RunSummary s;
        s.started = c.started;
        s.failed = c.failed;
        s.matches = c.matches;
        s.elapsedMs = c.ms;
        s.notRun = c.notRun;
        s.aborted = c.aborted;
        s.stopped = c.stopped;
        EXPECT_EQ(runSummaryText(s), QLatin1String(c.text));
    }
}

TEST(MainWindowRules, ExportNameAndSupportLink)
{
    EXPECT_EQ(withDefaultExtension(QStringLiteral("/tmp/out")), QStringLiteral("/tmp/out.txt"));
    EXPECT_EQ(withDefaultExtension(QStringLiteral("/tmp/out.")), QStringLiteral("/tmp/out.txt"));
    EXPECT_EQ(withDefaultExtension(QStringLiteral("/tmp/out.csv")), QStringLiteral("/tmp/out.csv"));
    EXPECT_EQ(withDefaultExtension(QStringLiteral("/tmp/a.b/out")), QStringLiteral("/tmp/a.b/out.txt"));
    EXPECT_EQ(withDefaultExtension(QStringLiteral("C:\\x.y\\out")), QStringLiteral("C:\\x.y\\out.txt"));
    EXPECT_EQ(supportMailLink(QStringLiteral("help@x.example"), QStringLiteral("Morvantis Glimmerpick")),
        QStringLiteral("mailto:help@x.example?subject=Morvantis Glimmerpick support request"));
}
