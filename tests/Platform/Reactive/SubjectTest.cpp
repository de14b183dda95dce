#include "Platform/Reactive/CurrentValueSubject.h"
#include "Platform/Reactive/PassthroughSubject.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <thread>

using namespace faciward::platform;
using faciward::testing::VirtualScheduler;

TEST(PassthroughSubject, deliversToEveryReceiverUntilCancelled)
{
    PassthroughSubject<int> subject;
    std::vector<int> a, b;
    auto first = subject.sink([&](int v) { a.push_back(v); });
    {
        auto second = subject.sink([&](int v) { b.push_back(v); });
        subject.send(1);
    }
    subject.send(2);
    first.cancel();
    first.cancel(); // twice is harmless
    subject.send(3);
    EXPECT_EQ(a, (std::vector<int>{1, 2}));
    EXPECT_EQ(b, (std::vector<int>{1}));
    EXPECT_EQ(subject.subscriberCount(), 0u);
}

TEST(PassthroughSubject, receiverMayCancelItselfDuringSend)
{
    PassthroughSubject<int> subject;
    int calls = 0;
    AnyCancellable self;
    self = subject.sink([&](int) {
        ++calls;
        self.cancel();
    });
    subject.send(1);
    subject.send(2);
    EXPECT_EQ(calls, 1);
}

TEST(PassthroughSubject, cancellableOutlivesSubject)
{
    AnyCancellable c;
    {
        PassthroughSubject<int> subject;
        c = subject.sink([](int) {});
    }
    c.cancel(); // must not touch freed state
    SUCCEED();
}

TEST(PassthroughSubject, concurrentSendersAndSubscribersLoseNothing)
{
    PassthroughSubject<int> subject;
    std::atomic<int> total{0};
    auto keep = subject.sink([&](int v) { total += v; });
    std::vector<std::jthread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                subject.send(1);
                auto transient = subject.sink([](int) {});
            }
        });
    }
    threads.clear();
    EXPECT_EQ(total.load(), 4000);
}

TEST(Publisher, receiveOnPostsAndDropsAfterCancel)
{
    VirtualScheduler main;
    PassthroughSubject<int> subject;
    std::vector<int> seen;
    auto c = subject.publisher().receiveOn(main).sink([&](int v) { seen.push_back(v); });
    std::jthread([&] { subject.send(1); }).join();
    EXPECT_TRUE(seen.empty());
    main.runPending();
    EXPECT_EQ(seen, (std::vector<int>{1}));
    subject.send(2);
    c.cancel();
    main.runPending();
    EXPECT_EQ(seen, (std::vector<int>{1}));
}
