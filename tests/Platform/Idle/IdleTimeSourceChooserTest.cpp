#include "Platform/Idle/IdleTimeSourceChooser.h"
#include "Platform/Idle/NullIdleTimeSource.h"
#include "tests/support/FakeIdleTimeSource.h"
#include "tests/support/Guards.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using faciward::platform::IdleTimeSource;
using faciward::platform::IdleTimeSourceChooser;
using faciward::platform::NullIdleTimeSource;
using faciward::testing::EnvGuard;
using faciward::testing::ExpectStderr;
using faciward::testing::FakeIdleTimeSource;

namespace {

IdleTimeSourceChooser::Candidate fake(const std::string &name, bool available, double idle, int *made = nullptr)
{
    return {"no " + name, [=] {
                if (made)
                    ++*made;
                auto source = std::make_unique<FakeIdleTimeSource>(IdleTimeSource::Seconds(idle));
                source->setName(name);
                source->setAvailable(available);
                return source;
            }};
}

std::vector<std::string> descriptions(const std::vector<IdleTimeSourceChooser::Candidate> &candidates)
{
    std::vector<std::string> result;
    for (const auto &c : candidates)
        result.push_back(c.description);
    return result;
}

} // namespace

TEST(IdleTimeSourceChooser, theFirstAvailableCandidateWinsAndIsNamedOnce)
{
    ExpectStderr guard("^faciward: idle time: using second$");
    int madeThird = 0;
    auto [source, found] = IdleTimeSourceChooser::choose(
        {fake("first", false, 1.0), fake("second", true, 2.0), fake("third", true, 3.0, &madeThird)});
    ASSERT_TRUE(source);
    EXPECT_TRUE(found);
    EXPECT_EQ(source->name(), "second");
    EXPECT_EQ(source->idleTime(), IdleTimeSource::Seconds(2.0));
    EXPECT_EQ(madeThird, 0) << "candidates after the winner are not even made";
    EXPECT_EQ(guard.matched(), 1);
}

TEST(IdleTimeSourceChooser, withoutAnAnswerTheIdleTimeIsUnknownAndStandardErrorSaysWhy)
{
    ExpectStderr guard(R"(^faciward: idle time: unknown, no source answers \(no first; no second; nothing\)$)");
    auto [source, found] = IdleTimeSourceChooser::choose(
        {fake("first", false, 1.0), fake("second", false, 1.0), {"nothing", [] { return nullptr; }}});
    ASSERT_TRUE(source);
    EXPECT_FALSE(found);
    EXPECT_EQ(source->idleTime(), std::nullopt);
    EXPECT_TRUE(source->isAvailable());
    EXPECT_EQ(guard.matched(), 1);
}

TEST(IdleTimeSourceChooser, theSystemListPutsX11FirstWhenADisplayIsSet)
{
    {
        EnvGuard display("DISPLAY", ":0");
        EnvGuard wayland("WAYLAND_DISPLAY", std::nullopt);
        EXPECT_EQ(descriptions(IdleTimeSourceChooser::systemCandidates()),
                  (std::vector<std::string>{"no X display with MIT-SCREEN-SAVER",
                                            "no D-Bus idle monitor on the session bus"}));
    }
    {
        EnvGuard display("DISPLAY", std::nullopt);
        EnvGuard wayland("WAYLAND_DISPLAY", std::nullopt);
        EXPECT_EQ(descriptions(IdleTimeSourceChooser::systemCandidates()),
                  (std::vector<std::string>{"no D-Bus idle monitor on the session bus"}));
    }
    {
        // XWayland's X server only sees input to X clients: ask the compositor first.
        EnvGuard display("DISPLAY", ":0");
        EnvGuard wayland("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_EQ(descriptions(IdleTimeSourceChooser::systemCandidates()),
                  (std::vector<std::string>{"no D-Bus idle monitor on the session bus",
                                            "no X display with MIT-SCREEN-SAVER"}));
    }
}
