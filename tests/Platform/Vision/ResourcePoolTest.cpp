#include "Platform/Vision/ResourcePool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <set>
#include <stdexcept>
#include <thread>

using faciward::platform::ResourcePool;

TEST(ResourcePool, aFailingFactoryLeavesThePoolAsItWas)
{
    bool fail = true;
    ResourcePool<int> pool([&fail]() -> std::unique_ptr<int> {
        if (fail)
            throw std::runtime_error("no");
        return std::make_unique<int>(7);
    });
    EXPECT_THROW(pool.acquire(), std::runtime_error);
    EXPECT_EQ(pool.idleCount(), 0u);
    fail = false;
    EXPECT_EQ(*pool.acquire(), 7);
}

TEST(ResourcePool, concurrentUsersNeverShareAnObject)
{
    // Two threads hold their leases at the same moment, several times over: each
    // has an object of its own, and the pool never grows past two.
    std::atomic<int> made{0};
    ResourcePool<int> pool([&made] { return std::make_unique<int>(made.fetch_add(1)); });
    constexpr int rounds = 50;
    std::barrier bothHolding(2);
    std::atomic<int> clashes{0};
    std::array<std::atomic<const int *>, 2> held{};
    auto user = [&](int me) {
        for (int r = 0; r < rounds; ++r) {
            auto lease = pool.acquire();
            held[me] = &*lease;
            bothHolding.arrive_and_wait();
            if (held[0].load() == held[1].load())
                clashes.fetch_add(1);
            bothHolding.arrive_and_wait();
        }
    };
    std::thread a(user, 0), b(user, 1);
    a.join();
    b.join();
    EXPECT_EQ(clashes.load(), 0);
    EXPECT_EQ(made.load(), 2);
    EXPECT_EQ(pool.idleCount(), 2u);
}
