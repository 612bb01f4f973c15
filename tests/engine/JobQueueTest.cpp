#include "engine/JobQueue.h"
#include "engine/MyConsumerItemThreadMod.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

TEST(JobQueue, FirstInFirstOutWithTheStopSignalAsAnOrdinaryItem)
{
    JobQueue queue;
    queue.addConsumer();
    std::vector<int> ran;
    ASSERT_TRUE(queue.push([&] { ran.push_back(1); }));
    ASSERT_TRUE(queue.push(Job()));
    ASSERT_TRUE(queue.push([&] { ran.push_back(2); }));
    EXPECT_EQ(queue.size(), 3);

    Job a = queue.pop();
    ASSERT_TRUE(a);
    a();
    EXPECT_FALSE(queue.pop());
    Job b = queue.pop();
    ASSERT_TRUE(b);
    b();
    EXPECT_EQ(ran, (std::vector<int> { 1, 2 }));
}

TEST(JobQueue, PushWaitsForRoomAndPopWaitsForAJob)
{
    JobQueue queue(2);
    queue.addConsumer();
    ASSERT_TRUE(queue.push([] {}));
    ASSERT_TRUE(queue.push([] {}));
    auto third = std::async(std::launch::async, [&] { return queue.push([] {}); });
    EXPECT_EQ(third.wait_for(50ms), std::future_status::timeout);
    queue.pop();
    EXPECT_TRUE(third.get());
    EXPECT_EQ(queue.size(), 2);

    queue.pop();
    queue.pop();
    auto taken = std::async(std::launch::async, [&] { return bool(queue.pop()); });
    EXPECT_EQ(taken.wait_for(50ms), std::future_status::timeout);
    queue.push([] {});
    EXPECT_TRUE(taken.get());
}

TEST(JobQueue, AWaitingPushGivesUpWhenTheLastConsumerLeaves)
{
    JobQueue queue(1);
    queue.addConsumer();
    queue.addConsumer();
    ASSERT_TRUE(queue.push([] {}));
    auto waiting = std::async(std::launch::async, [&] { return queue.push([] {}); });
    queue.removeConsumer();
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    queue.removeConsumer();
    EXPECT_FALSE(waiting.get());
    // With nobody left to take them, further jobs are dropped at once.
    EXPECT_FALSE(queue.push([] {}));
    EXPECT_EQ(queue.size(), 1);
}

TEST(JobQueue, DestructionReleasesHeldJobsWithoutRunningThem)
{
    auto token = std::make_shared<int>(0);
    {
        JobQueue queue;
        queue.addConsumer();
        for (int i = 0; i < 3; ++i)
            queue.push([token] { ++*token; });
        EXPECT_EQ(token.use_count(), 4);
    }
    EXPECT_EQ(token.use_count(), 1);
    EXPECT_EQ(*token, 0);
}

TEST(TMyConsumerItemMod, JobsRunSideBySideAndEachStopSignalEndsOneWorker)
{
    // Each of the two jobs waits for the other to have started: this only finishes when the take
    // lock is free while a job runs.
    std::mutex takeLock;
    JobQueue queue;
    std::atomic<int> started { 0 };
    std::atomic<int> finished { 0 };
    const auto job = [&] {
        ++started;
        while (started < 2)
            std::this_thread::yield();
        ++finished;
    };
    std::thread a = TMyConsumerItemMod::Create(queue, takeLock);
    std::thread b = TMyConsumerItemMod::Create(queue, takeLock);
    queue.push(job);
    queue.push(job);
    queue.push(Job());
    queue.push(Job());
    a.join();
    b.join();
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(queue.size(), 0);
}
