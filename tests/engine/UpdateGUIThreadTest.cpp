#include "engine/UpdateGUIThread.h"
#include "support/QtPrinters.h"

#include <algorithm>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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
    std::mutex mutex;
    std::vector<milliseconds> shown;
    std::thread::id caller;
    const auto count = [&] {
        std::lock_guard lock(mutex);
        return shown.size();
    };
    auto clock = std::make_unique<TUpdateGUIThread>(
        [&](milliseconds t) {
            std::lock_guard lock(mutex);
            shown.push_back(t);
            caller = std::this_thread::get_id();
        },
        20ms);
    for (int i = 0; i < 5000 && count() < 3; ++i)
        std::this_thread::sleep_for(1ms);
    ASSERT_GE(count(), 3u);
    clock.reset();
    const size_t updates = count();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(count(), updates);
    // The first reading is the run's start; the readings grow; they come from the clock's thread.
    EXPECT_EQ(formatElapsedTime(shown.front()), "00:00:00");
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_NE(caller, std::this_thread::get_id());
}
