#include "Platform/Idle/X11/X11IdleTimeSource.h"
#include "tests/support/PrivateXServer.h"

#include <gtest/gtest.h>

#include <thread>

using faciward::platform::IdleTimeSource;
using faciward::platform::X11IdleTimeSource;
using faciward::testing::PrivateXServer;
using namespace std::chrono_literals;

namespace {

// The server's idle counter moves by itself: there is no event to wait for, so
// this polls it, with a generous safety timeout.
template<class P>
bool pollUntil(P predicate, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

} // namespace

class X11IdleTimeSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FACIWARD_REQUIRE_PROGRAM("Xvfb");
        FACIWARD_REQUIRE_PROGRAM("xdotool");
        server = std::make_unique<PrivateXServer>();
    }

    std::unique_ptr<PrivateXServer> server;
};

TEST_F(X11IdleTimeSourceTest, idleTimeGrowsWhileNothingHappensAndDropsAfterInput)
{
    X11IdleTimeSource source(server->display());
    ASSERT_TRUE(source.isAvailable());
    EXPECT_EQ(source.name(), "X11 MIT-SCREEN-SAVER on " + server->display());

    const auto first = source.idleTime();
    ASSERT_TRUE(first);
    EXPECT_GE(first->count(), 0.0);
    std::optional<IdleTimeSource::Seconds> grown;
    ASSERT_TRUE(pollUntil([&] {
        grown = source.idleTime();
        return grown && *grown >= *first + 300ms;
    })) << "the idle time did not grow";

    ASSERT_EQ(server->xdotool({"mousemove", "200", "150"}), 0);
    std::optional<IdleTimeSource::Seconds> after;
    ASSERT_TRUE(pollUntil([&] {
        after = source.idleTime();
        return after && *after < *grown;
    })) << "the idle time did not drop after pointer input";

    ASSERT_TRUE(pollUntil([&] {
        grown = source.idleTime();
        return grown && *grown >= 200ms;
    }));
    ASSERT_EQ(server->xdotool({"key", "shift"}), 0);
    ASSERT_TRUE(pollUntil([&] {
        after = source.idleTime();
        return after && *after < *grown;
    })) << "the idle time did not drop after key input";
}

TEST(X11IdleTimeSource, withoutADisplayItIsUnavailableAndSaysUnknown)
{
    X11IdleTimeSource source(":4093");
    EXPECT_FALSE(source.isAvailable());
    EXPECT_EQ(source.idleTime(), std::nullopt);
    EXPECT_EQ(source.name(), "X11 MIT-SCREEN-SAVER on no display");
}
