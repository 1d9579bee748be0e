#include "core/serial_queue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <latch>
#include <thread>
#include <vector>

using kaleon::SerialQueue;

TEST(SerialQueue, RunsTasksOneAtATimeInOrder)
{
    auto queue = SerialQueue::create("test.order");
    std::vector<int> order;
    std::atomic<int> running = 0;
    std::atomic<bool> overlapped = false;
    std::latch done(1);
    for (int i = 0; i < 1000; ++i) {
        queue->async([&, i] {
            if (running.fetch_add(1) != 0)
                overlapped = true;
            order.push_back(i);
            running.fetch_sub(1);
            if (i == 999)
                done.count_down();
        });
    }
    done.wait();
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(order.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(SerialQueue, SyncOnAnIdleQueueRunsOnTheCallingThread)
{
    auto queue = SerialQueue::create("test.inline");
    std::thread::id ranOn;
    queue->sync([&] { ranOn = std::this_thread::get_id(); });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(SerialQueue, SyncWaitsForEarlierWork)
{
    auto queue = SerialQueue::create("test.behind");
    std::vector<int> order;
    std::latch started(1);
    std::latch release(1);
    queue->async([&] {
        started.count_down();
        release.wait();
        order.push_back(1);
    });
    queue->async([&] { order.push_back(2); });
    started.wait();
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        release.count_down();
    });
    queue->sync([&] { order.push_back(3); });
    queue->async([&] { order.push_back(4); });
    queue->sync([] {});
    releaser.join();
    EXPECT_EQ(order, (std::vector<int> { 1, 2, 3, 4 }));
}

TEST(SerialQueue, ManyQueuesShareAFewThreads)
{
    std::vector<std::shared_ptr<SerialQueue>> queues;
    std::atomic<int> count = 0;
    for (int i = 0; i < 2000; ++i) {
        queues.push_back(SerialQueue::create("test.many"));
        queues.back()->async([&] { ++count; });
    }
    for (auto& queue : queues)
        queue->sync([] {});
    EXPECT_EQ(count, 2000);
    EXPECT_LE(SerialQueue::poolThreadCount(), 64u);
}

TEST(SerialQueue, AQueueDroppedWithWorkPendingFinishesIt)
{
    std::atomic<int> count = 0;
    std::latch done(1);
    {
        auto queue = SerialQueue::create("test.dropped");
        for (int i = 0; i < 100; ++i)
            queue->async([&] { ++count; });
        queue->async([&] { done.count_down(); });
    }
    done.wait();
    EXPECT_EQ(count, 100);
}

// A drain that waits in `sync` on another queue must not starve that queue of a thread.
TEST(SerialQueue, NestedSyncAcrossQueuesCompletes)
{
    std::vector<std::shared_ptr<SerialQueue>> workers;
    std::vector<std::shared_ptr<SerialQueue>> responses;
    std::atomic<int> handled = 0;
    std::latch done(200);
    for (int i = 0; i < 200; ++i) {
        workers.push_back(SerialQueue::create("test.worker"));
        responses.push_back(SerialQueue::create("test.response"));
        auto response = responses.back();
        response->async([] { std::this_thread::sleep_for(std::chrono::microseconds(200)); });
        workers.back()->async([&, response] {
            response->sync([&] { ++handled; });
            done.count_down();
        });
    }
    done.wait();
    EXPECT_EQ(handled, 200);
}
