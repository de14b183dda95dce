#include "Helpers/Core/Coordinator.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace faciward::helpers {
namespace {

// A root-like flow: it starts but never ends by itself, so it keeps finish().
class Flow : public Coordinator
{
public:
    static std::shared_ptr<Flow> create() { return std::shared_ptr<Flow>(new Flow); }
    void start() override {}
};

static_assert(std::is_abstract_v<Coordinator>, "start() must be provided by every flow");

TEST(CoordinatorTest, ChildrenFollowIdentityRules)
{
    auto a = Flow::create();
    auto b = Flow::create(); // same class, another object
    struct Step
    {
        const char *name;
        std::vector<Coordinator *> adds;
        Coordinator *remove;
        bool removed;
        std::vector<Coordinator *> left;
    };
    const Step steps[] = {
        {"double add, one remove leaves one", {a.get(), a.get()}, a.get(), true, {a.get()}},
        {"a non-child changes nothing", {a.get()}, b.get(), false, {a.get()}},
        {"removes the first identical only", {a.get(), b.get(), a.get()}, a.get(), true, {b.get(), a.get()}},
        {"empty list", {}, a.get(), false, {}},
    };
    for (const auto &step : steps) {
        auto parent = Flow::create();
        for (auto *child : step.adds)
            parent->addChild(child == a.get() ? std::shared_ptr<Coordinator>(a) : b);
        EXPECT_EQ(parent->removeChild(step.remove), step.removed) << step.name;
        std::vector<Coordinator *> left;
        for (const auto &child : parent->children())
            left.push_back(child.get());
        EXPECT_EQ(left, step.left) << step.name;
    }
}

TEST(CoordinatorTest, ChildStaysAliveWhileListed)
{
    auto parent = Flow::create();
    std::weak_ptr<Flow> weak;
    {
        auto child = Flow::create();
        weak = child;
        parent->addChild(child);
    }
    ASSERT_FALSE(weak.expired());
    EXPECT_TRUE(parent->removeChild(weak.lock().get()));
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(parent->isPopup());
}

TEST(CoordinatorDeathTest, FinishWithoutOverrideIsFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto flow = Flow::create();
    EXPECT_DEATH(flow->finish(), "Fatal error: Must be overriden: .*Coordinator.cpp:[0-9]+");
}

} // namespace
} // namespace faciward::helpers
