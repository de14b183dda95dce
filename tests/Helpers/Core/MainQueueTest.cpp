#include "Helpers/Core/MainQueue.h"

#include "tests/support/WidgetApplication.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

namespace faciward::helpers {
namespace {

using namespace std::chrono_literals;

TEST(MainQueueTest, postsRunAfterReturnOnMainThreadInOrder)
{
    testing::widgetApplication();
    std::vector<int> order;
    bool offMain = false;
    auto record = [&](int n) {
        return [&, n] {
            offMain = offMain || QThread::currentThread() != qApp->thread();
            order.push_back(n);
        };
    };
    postToMainAfter(0ms, record(-1)); // a zero delay still runs after the caller returns
    postToMain(record(0));
    EXPECT_TRUE(order.empty());
    std::thread worker([&] {
        for (int n = 1; n <= 10; ++n)
            postToMain(record(n));
        postToMainAfter(30ms, record(99));
    });
    worker.join();
    ASSERT_TRUE(testing::spinUntil([&] { return order.size() == 13; }));
    EXPECT_FALSE(offMain);
    EXPECT_EQ(order.back(), 99);
    std::erase_if(order, [](int n) { return n == -1 || n == 99; });
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())); // plain posts keep their order across threads
}

} // namespace
} // namespace faciward::helpers
