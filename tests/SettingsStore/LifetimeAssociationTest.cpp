#include "SettingsStore/LifetimeAssociation.h"
#include "SettingsStore/LifetimeTrackerList.h"
#include "tests/support/RunTogether.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace faciward::prefs {
namespace {

struct Target
{
    int id = 0;
};

class LifetimeAssociationTest : public ::testing::Test
{
protected:
    std::optional<Associable> owner{std::in_place};
    std::vector<int> ran;

    std::function<void()> handler(int id)
    {
        return [this, id] { ran.push_back(id); };
    }
    const LifetimeTrackerList &list() const { return *owner->lifetimeTrackers(); }
};

TEST_F(LifetimeAssociationTest, theOwnerGoingRunsEachHandlerOnceThenReleasesItsTarget)
{
    auto first = std::make_shared<Target>(Target{1});
    auto second = std::make_shared<Target>(Target{2});
    std::weak_ptr<Target> firstAlive = first;
    std::weak_ptr<Target> secondAlive = second;
    std::vector<bool> targetAliveInHandler;
    LifetimeAssociation a(std::move(first), *owner, [&] {
        ran.push_back(1);
        targetAliveInHandler.push_back(!firstAlive.expired());
    });
    LifetimeAssociation b(std::move(second), *owner, handler(2));
    EXPECT_FALSE(firstAlive.expired()) << "the owner keeps the target alive";

    owner.reset();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_EQ(targetAliveInHandler, (std::vector<bool>{true}));
    EXPECT_TRUE(firstAlive.expired());
    EXPECT_TRUE(secondAlive.expired());
    EXPECT_FALSE(a.isTied());

    // Untying after the owner has gone does nothing, and runs nothing again.
    a.cancel();
    b.cancel();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST_F(LifetimeAssociationTest, aTieMadeAfterTheOwnersListWasReleasedEndsAtOnce)
{
    auto trackers = owner->lifetimeTrackers();
    owner.reset();
    ASSERT_TRUE(trackers->isReleased());
    LifetimeAssociation late(std::make_shared<Target>(), trackers, handler(7));
    EXPECT_EQ(ran, (std::vector<int>{7}));
    EXPECT_FALSE(late.isTied());
}

TEST_F(LifetimeAssociationTest, aHandlerMayTieAndUntieOnTheSameOwner)
{
    std::optional<LifetimeAssociation> second;
    std::optional<LifetimeAssociation> first;
    first.emplace(std::make_shared<Target>(), *owner, [&] {
        ran.push_back(1);
        second->cancel(); // comes back to the owner's list while it is being released
    });
    second.emplace(std::make_shared<Target>(), *owner, handler(2));
    first.reset();
    EXPECT_EQ(ran, (std::vector<int>{1}));
    EXPECT_EQ(list().size(), 0u);
}

TEST_F(LifetimeAssociationTest, tiesAndCancellationsFromManyThreadsKeepTheListWhole)
{
    constexpr int threads = 8;
    constexpr int rounds = 200;
    std::atomic<int> handlersRun{0};
    std::vector<std::vector<std::unique_ptr<LifetimeAssociation>>> kept(threads);
    faciward::testing::runTogether(threads, [&](int t) {
        for (int i = 0; i < rounds; ++i) {
            auto association = std::make_unique<LifetimeAssociation>(std::make_shared<Target>(),
                                                                     owner->lifetimeTrackers(),
                                                                     [&] { ++handlersRun; });
            // A third is cancelled, a third released (its handler runs), a third kept.
            if (i % 3 == 0)
                association->cancel();
            else if (i % 3 == 1)
                association.reset();
            else
                kept[t].push_back(std::move(association));
        }
    });
    const int released = threads * ((rounds + 1) / 3);
    const int stillTied = threads * (rounds / 3);
    EXPECT_EQ(handlersRun.load(), released);
    EXPECT_EQ(list().size(), static_cast<std::size_t>(stillTied));

    owner.reset();
    EXPECT_EQ(handlersRun.load(), released + stillTied);
}

TEST_F(LifetimeAssociationTest, theOwnerGoingWhileOtherThreadsCancelRunsEachHandlerAtMostOnce)
{
    constexpr int count = 400;
    std::vector<std::unique_ptr<LifetimeAssociation>> associations;
    std::vector<std::weak_ptr<Target>> targets;
    std::vector<std::atomic<int>> runs(count);
    for (int i = 0; i < count; ++i) {
        auto target = std::make_shared<Target>(Target{i});
        targets.push_back(target);
        associations.push_back(std::make_unique<LifetimeAssociation>(target, *owner, [&runs, i] { ++runs[i]; }));
    }
    std::barrier start(3);
    std::thread cancelEven([&] {
        start.arrive_and_wait();
        for (int i = 0; i < count; i += 2)
            associations[i]->cancel();
    });
    std::thread releaseOdd([&] {
        start.arrive_and_wait();
        for (int i = 1; i < count; i += 2)
            associations[i].reset();
    });
    start.arrive_and_wait();
    owner.reset();
    cancelEven.join();
    releaseOdd.join();
    for (int i = 0; i < count; ++i) {
        EXPECT_LE(runs[i].load(), 1) << i;
        EXPECT_TRUE(targets[i].expired()) << i;
        if (i % 2 == 1) {
            EXPECT_EQ(runs[i].load(), 1) << "released or owner gone: either way the handler ran, " << i;
        }
    }
}

} // namespace
} // namespace faciward::prefs
