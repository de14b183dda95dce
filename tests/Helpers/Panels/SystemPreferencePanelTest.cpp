#include "Helpers/Panels/SystemPreferencePanel.h"

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using Command = SystemPreferencePanel::Command;

TEST(SystemPreferencePanel, opensTheKnownDesktopsOwnSettingsPages)
{
    const struct
    {
        const char *desktop;
        std::optional<Command> notifications, securityPrivacy;
    } cases[] = {
        {"GNOME", Command{"gnome-control-center", {"notifications"}}, Command{"gnome-control-center", {"privacy"}}},
        {"ubuntu:GNOME", Command{"gnome-control-center", {"notifications"}},
         Command{"gnome-control-center", {"privacy"}}},
        {"KDE", Command{"systemsettings", {"kcm_notifications"}}, Command{"systemsettings", {"kcm_app-permissions"}}},
        {"XFCE", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
    };
    for (const auto &c : cases) {
        std::vector<Command> started;
        const SystemPreferencePanel panel(QString::fromUtf8(c.desktop), [&](const Command &command) {
            started.push_back(command);
            return true;
        });
        EXPECT_EQ(panel.openNotifications(), c.notifications.has_value()) << c.desktop;
        EXPECT_EQ(panel.openSecurityPrivacy(), c.securityPrivacy.has_value()) << c.desktop;
        std::vector<Command> expected;
        for (const auto &command : {c.notifications, c.securityPrivacy})
            if (command)
                expected.push_back(*command);
        EXPECT_EQ(started, expected) << c.desktop;
    }
}

TEST(SystemPreferencePanel, reportsAProgramThatDidNotStart)
{
    const SystemPreferencePanel panel(QStringLiteral("GNOME"), [](const Command &) { return false; });
    EXPECT_FALSE(panel.openNotifications());
}

} // namespace
} // namespace faciward::helpers
