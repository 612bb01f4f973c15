#include "RecordingHandOff.h"

#include "engine/UpdateGUIThread.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono;

TEST(TUpdateGUIThread, ElapsedTimeDropsDaysAndFractions)
{
    struct Case {
        milliseconds elapsed;
        const char* shown;
    };
    const Case cases[] = {
        { 0ms, "00:00:00" },
        { 999ms, "00:00:00" },
        { hours(1) + minutes(2) + seconds(3) + 900ms, "01:02:03" },
        { hours(23) + minutes(59) + seconds(59) + 999ms, "23:59:59" },
        { hours(24), "00:00:00" },
        { hours(25), "01:00:00" },
        { hours(24 * 3 + 10) + seconds(7), "10:00:07" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatElapsedTime(c.elapsed), c.shown) << c.elapsed.count() << " ms";
}

TEST(TUpdateGUIThread, UpdatesAtOnceThenEachTickAndNeverAfterItHasEnded)
{
    RecordingHandOff view;
    view.setTimeText(QStringLiteral("00:05:00"));
    view.timeTexts.clear();
    auto clock = std::make_unique<TUpdateGUIThread>(view, 20ms);
    ASSERT_TRUE(spinUntil([&] { return view.timeTexts.size() >= 3; }));
    // The previous run's time is replaced by the new run's start at once.
    EXPECT_EQ(view.timeTexts.first(), "00:00:00");
    runOffUiThread([&] { clock.reset(); });

    const qsizetype updates = view.timeTexts.size();
    spinUntil([] { return false; }, 100);
    EXPECT_EQ(view.timeTexts.size(), updates);
    EXPECT_EQ(view.offUiThreadCalls, 0);
}
