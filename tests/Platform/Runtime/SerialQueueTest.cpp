#include "Platform/Runtime/SerialQueue.h"

#include <gtest/gtest.h>

#include <atomic>

using faciward::platform::SerialQueue;

TEST(SerialQueue, runsJobsInOrderOneAtATime)
{
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<int> overlap{0};
    {
        SerialQueue queue("test");
        for (int i = 0; i < 200; ++i) {
            queue.async([&, i] {
                if (running.fetch_add(1) != 0)
                    ++overlap;
                order.push_back(i);
                running.fetch_sub(1);
            });
        }
    } // the destructor drains the queue
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_EQ(overlap.load(), 0);
}

TEST(SerialQueue, syncWaitsAndMayBeNestedOnItsOwnThread)
{
    SerialQueue queue("test");
    int value = 0;
    queue.sync([&] {
        EXPECT_TRUE(queue.isCurrent());
        queue.sync([&] { value = 42; }); // would deadlock if not run inline
    });
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SerialQueue, syncPassesExceptionsBack)
{
    SerialQueue queue("test");
    EXPECT_THROW(queue.sync([] { throw std::runtime_error("boom"); }), std::runtime_error);
    int after = 0;
    queue.sync([&] { after = 1; });
    EXPECT_EQ(after, 1);
}
