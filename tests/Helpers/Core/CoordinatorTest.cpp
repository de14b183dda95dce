#include "Helpers/Core/Coordinator.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace faciward::helpers {
namespace {

// A root-like flow: it starts but never ends by itself, so it keeps finish().
struct Flow : Coordinator
{
    static std::shared_ptr<Flow> create() { return std::shared_ptr<Flow>(new Flow); }
    void start() override {}
};

static_assert(std::is_abstract_v<Coordinator>, "start() must be provided by every flow");

TEST(CoordinatorTest, childrenFollowIdentityRules)
{
    // Two distinct objects of the same class: a and b.
    const std::shared_ptr<Coordinator> flows[] = {Flow::create(), Flow::create()};
    // name, children added (indices into flows), child removed, removed?, children left
    const std::tuple<const char *, std::vector<int>, int, bool, std::vector<int>> steps[] = {
        {"double add, one remove leaves one", {0, 0}, 0, true, {0}},
        {"same class, other object: unchanged", {0}, 1, false, {0}},
        {"only the first identical goes", {0, 1, 0}, 0, true, {1, 0}},
        {"empty list", {}, 0, false, {}},
    };
    for (const auto &[name, adds, remove, removed, expected] : steps) {
        auto parent = Flow::create();
        for (int i : adds)
            parent->addChild(flows[i]);
        EXPECT_EQ(parent->removeChild(flows[remove].get()), removed) << name;
        std::vector<int> left;
        for (const auto &child : parent->children())
            left.push_back(child == flows[0] ? 0 : 1);
        EXPECT_EQ(left, expected) << name;
    }
}

TEST(CoordinatorDeathTest, finishWithoutOverrideIsFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(Flow::create()->finish(), "Fatal error: Must be overriden: .*Coordinator.cpp:[0-9]+");
}

} // namespace
} // namespace faciward::helpers
