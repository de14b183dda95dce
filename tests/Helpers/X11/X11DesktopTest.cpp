#include "Helpers/X11/X11Desktop.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace faciward::helpers {
namespace {

TEST(PreferX11Platform, onlyWhenNothingWasChosenAndAnXDisplayIsThere)
{
    struct Case { std::optional<std::string> chosen, display, expected; } const cases[] = {
        {std::nullopt, ":5", "xcb"},
        {"wayland", ":5", "wayland"},
        {std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case &c : cases) {
        testing::EnvGuard platform("QT_QPA_PLATFORM", c.chosen);
        testing::EnvGuard display("DISPLAY", c.display);
        preferX11Platform();
        const char *now = std::getenv("QT_QPA_PLATFORM");
        EXPECT_EQ(now ? std::optional<std::string>(now) : std::nullopt, c.expected);
    }
}

} // namespace
} // namespace faciward::helpers
