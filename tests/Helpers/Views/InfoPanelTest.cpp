#include "Helpers/Views/InfoPanel.h"
#include "Helpers/Views/SymbolView.h"

#include "tests/support/ColourSchemes.h"
#include "tests/support/WidgetApplication.h"

#include <QFontMetrics>
#include <QLabel>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

// Both intents give the same grey card; the symbol, one line high, sits level
// with the top of several lines of content.
TEST(InfoPanel, sameCardForBothIntentsAndSymbolLevelWithFirstLine)
{
    testing::widgetApplication();
    const QColor window = testing::lightPalette().color(QPalette::Window);
    const QColor card = testing::blendOver(InfoPanel::cardColour, window);
    for (auto intent : {InfoPanel::Intent::Info, InfoPanel::Intent::Warning}) {
        const bool warning = intent == InfoPanel::Intent::Warning;
        SCOPED_TRACE(warning ? "warning" : "info");
        InfoPanel panel(intent, new QLabel(QStringLiteral("First line of the note\nsecond line\nthird line")));
        panel.resize(320, 110);
        const QImage image = testing::grabInBothSchemes(panel, warning ? "info-panel-warning" : "info-panel-info");
        EXPECT_TRUE(testing::coloursNear(image.pixelColor(panel.width() - 12, panel.height() - 12), card));
        EXPECT_TRUE(testing::coloursNear(image.pixelColor(0, 0), window)) << "rounded corner";
        EXPECT_EQ(panel.symbol()->symbol().name(), InfoPanel::symbolName(intent));
        EXPECT_EQ(panel.symbol()->height(), QFontMetrics(panel.font()).height());
        EXPECT_EQ(panel.symbol()->y(), panel.content()->y());
        EXPECT_EQ(panel.symbol()->pos(), QPoint(InfoPanel::padding, InfoPanel::padding));
        EXPECT_GT(panel.content()->height(), 2 * panel.symbol()->height());
    }
}

} // namespace
} // namespace faciward::helpers
