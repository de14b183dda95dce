#include "Faciward/Presence/Locking/Atomic.h"
#include "Faciward/Presence/Locking/ServiceContext.h"
#include "tests/support/RunTogether.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace faciward::presence;
using faciward::vault::Identifier;
using faciward::vault::Vault;

TEST(ServiceContext, concurrentFirstReadsMakeOneKeychain)
{
    constexpr int threads = 8;
    std::atomic<int> made{0};
    ServiceContext context([&] {
        ++made;
        return Vault::vault(*Identifier::nonEmpty("Faciward.test.concurrent"), Vault::Accessibility::whenUnlocked);
    });
    std::vector<std::shared_ptr<Keychain>> seen(threads);
    faciward::testing::runTogether(threads, [&](int i) { seen[i] = context.keychain(); });
    EXPECT_EQ(made.load(), 1);
    for (const auto &k : seen)
        EXPECT_EQ(k, seen.front());
}

TEST(Atomic, readModifyWritesFromManyThreadsAreNotLost)
{
    Atomic<std::vector<int>> box;
    constexpr int threads = 4, rounds = 1000;
    faciward::testing::runTogether(threads, [&](int t) {
        for (int i = 0; i < rounds; ++i)
            box.with([&](std::vector<int> &v) { v.push_back(t); });
    });
    EXPECT_EQ(box.load().size(), std::size_t(threads * rounds));
    box.store({7});
    EXPECT_EQ(box.with([](std::vector<int> &v) { return v.front(); }), 7);
}
