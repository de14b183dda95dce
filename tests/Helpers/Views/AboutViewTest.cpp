#include "Helpers/Views/AboutView.h"
#include "Helpers/Views/ClippedImage.h"

#include "tests/support/ColourSchemes.h"
#include "tests/support/WidgetApplication.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

// The version line shows only when both values exist, the name only when it
// does, and the icon stays 100x100 with a wide picture fitted inside it.
TEST(AboutView, versionLineAndIcon)
{
    testing::widgetApplication();
    const QString v = QStringLiteral("1.2"), b = QStringLiteral("34");
    const QColor iconColour(0x1e, 0x8c, 0x3c); // images/wide-icon.svg, 300x50
    const struct
    {
        Bundle info;
        const char *versionLine;
    } cases[] = {
        {{QStringLiteral("Faciward"), v, b}, "1.2 (34)"},
        {{QStringLiteral("Faciward"), v, std::nullopt}, nullptr},
        {{std::nullopt, std::nullopt, b}, nullptr},
        {{std::nullopt, v, b}, "1.2 (34)"},
    };
    for (const auto &c : cases) {
        AboutView about(QStringLiteral("wide-icon"), 240, c.info);
        about.adjustSize();
        const QImage image = testing::grabInBothSchemes(
            about, std::string("about-") + (c.info.name ? "named" : "unnamed") + (c.versionLine ? "-versioned" : ""));
        EXPECT_EQ(about.nameLabel() != nullptr, c.info.name.has_value());
        ASSERT_EQ(about.versionLabel() != nullptr, c.versionLine != nullptr);
        if (c.versionLine) {
            EXPECT_EQ(about.versionLabel()->text(), QString::fromLatin1(c.versionLine));
        }
        EXPECT_EQ(about.icon()->size(), AboutView::iconSize);
        EXPECT_EQ(about.icon()->phase(), ClippedImage::Phase::Shown);
        const QPoint centre = about.icon()->geometry().center();
        EXPECT_EQ(image.pixelColor(centre), iconColour);
        EXPECT_NE(image.pixelColor(centre - QPoint(0, 20)), iconColour) << "above the fitted strip";
    }
}

} // namespace
} // namespace faciward::helpers
