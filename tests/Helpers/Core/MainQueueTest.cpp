#include "Helpers/Core/MainQueue.h"

#include "tests/support/WidgetApplication.h"

#include <QThread>

#include <gtest/gtest.h>

#include <thread>

namespace faciward::helpers {
namespace {

using namespace std::chrono_literals;

TEST(MainQueueTest, PostsRunAfterReturnOnMainThreadInOrder)
{
    testing::widgetApplication();
    QThread *mainThread = QThread::currentThread();
    std::vector<int> order;
    bool offMain = false;
    auto record = [&](int n) {
        return [&, n] {
            offMain = offMain || QThread::currentThread() != mainThread;
            order.push_back(n);
        };
    };
    postToMainAfter(0ms, record(1)); // delayed by zero: still after the caller returns
    postToMain(record(2));
    EXPECT_TRUE(order.empty());
    std::thread worker([&] {
        for (int n = 10; n < 20; ++n)
            postToMain(record(n));
        postToMainAfter(30ms, record(99));
    });
    worker.join();
    ASSERT_TRUE(testing::spinUntil([&] { return order.size() == 13; }));
    EXPECT_FALSE(offMain);
    // Plain posts keep their order across threads; the delayed ones come after them.
    std::vector<int> posts(order.begin(), order.end());
    std::erase_if(posts, [](int n) { return n == 1 || n == 99; });
    std::vector<int> expected{2};
    for (int n = 10; n < 20; ++n)
        expected.push_back(n);
    EXPECT_EQ(posts, expected);
    EXPECT_EQ(order.back(), 99);
}

TEST(MainQueueTest, SecondsRoundUpToMilliseconds)
{
    const std::pair<double, long long> table[] = {{0.0, 0}, {0.25, 250}, {0.0001, 1}, {-3.0, 0}};
    for (const auto &[seconds, ms] : table)
        EXPECT_EQ(toMilliseconds(std::chrono::duration<double>(seconds)).count(), ms) << seconds;
}

} // namespace
} // namespace faciward::helpers
