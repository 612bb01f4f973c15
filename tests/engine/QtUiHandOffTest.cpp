#include "RecordingHandOff.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

TEST(QtUiHandOff, RunsTheProcedureOnTheUiThreadAndWaitsForIt)
{
    RecordingHandOff handOff;
    const auto uiThread = std::this_thread::get_id();
    std::thread::id ranOn;
    int valueSeenAfterReturn = 0;
    runOffUiThread([&] {
        int value = 0;
        handOff.runOnUiThread([&] {
            ranOn = std::this_thread::get_id();
            value = 42;
        });
        valueSeenAfterReturn = value;
    });
    EXPECT_EQ(ranOn, uiThread);
    EXPECT_EQ(valueSeenAfterReturn, 42);
}

TEST(QtUiHandOff, OnTheUiThreadItRunsAtOnce)
{
    RecordingHandOff handOff;
    bool ran = false;
    handOff.runOnUiThread([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(QtUiHandOff, AnErrorComesBackToTheCallerNotThroughTheEventLoop)
{
    RecordingHandOff handOff;
    std::string caught;
    runOffUiThread([&] {
        try {
            handOff.runOnUiThread([] { throw std::runtime_error("cell out of range"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
    });
    EXPECT_EQ(caught, "cell out of range");
    // The event loop still serves hand-offs afterwards.
    bool ranAgain = false;
    runOffUiThread([&] { handOff.runOnUiThread([&] { ranAgain = true; }); });
    EXPECT_TRUE(ranAgain);
}
