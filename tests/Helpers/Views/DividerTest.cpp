#include "Helpers/Views/Divider.h"
#include "Helpers/Views/VisualEffectBackground.h"

#include "tests/support/ColourSchemes.h"
#include "tests/support/WidgetApplication.h"

#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

// Offered a large space, the mark stays 8x28 with its stem and dot in the
// foreground colour.
TEST(Divider, keepsItsSizeInALargeLayout)
{
    testing::widgetApplication();
    QWidget host;
    auto *column = new QVBoxLayout(&host);
    auto *mark = new Divider;
    column->addWidget(mark);
    host.resize(200, 300);
    testing::grabInBothSchemes(host, "divider");
    EXPECT_EQ(mark->size(), Divider::markSize);
    const QImage image = testing::grabWidget(*mark, "divider-mark");
    const QColor foreground = testing::lightPalette().color(QPalette::WindowText);
    EXPECT_TRUE(testing::coloursNear(image.pixelColor(4, 10), foreground));
    EXPECT_TRUE(testing::coloursNear(image.pixelColor(4, 24), foreground));
    EXPECT_FALSE(testing::coloursNear(image.pixelColor(1, 10), foreground));
}

// The background follows its parent's size, and new values repaint the same widget.
TEST(VisualEffectBackground, followsItsParentAndUpdatesInPlace)
{
    testing::widgetApplication();
    using B = VisualEffectBackground;
    QWidget host;
    auto *background = new B(B::Material::Popover, B::BlendingMode::BehindWindow, false, &host);
    host.resize(120, 80);
    testing::grabInBothSchemes(host, "visual-effect");
    EXPECT_EQ(background->geometry(), host.rect());

    const QColor before = background->tint();
    background->setValues(B::Material::Selection, B::BlendingMode::WithinWindow, true);
    EXPECT_EQ(host.findChildren<B *>(), QList<B *>{background});
    EXPECT_EQ(background->material(), B::Material::Selection);
    EXPECT_NE(background->tint(), before);
    const QImage image = testing::grabInBothSchemes(host, "visual-effect-selection");
    EXPECT_TRUE(testing::coloursNear(image.pixelColor(60, 40),
                                     testing::blendOver(background->tint(), testing::lightPalette().color(QPalette::Window))));
}

// Put behind a parent before or after the parent is on screen, the background
// is drawn either way.
TEST(VisualEffectBackground, showsWhetherItsParentIsShownBeforeOrAfter)
{
    testing::widgetApplication();
    using B = VisualEffectBackground;
    for (const bool parentShownFirst : {false, true}) {
        SCOPED_TRACE(parentShownFirst ? "parent shown first" : "parent shown after");
        QWidget host;
        host.setPalette(testing::lightPalette());
        host.resize(120, 80);
        if (parentShownFirst) {
            host.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        }
        auto *background = new B(B::Material::Selection, B::BlendingMode::BehindWindow, false, &host);
        if (!parentShownFirst) {
            host.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        }
        EXPECT_TRUE(background->isVisible());
        const QImage image = host.grab().toImage();
        EXPECT_TRUE(testing::coloursNear(image.pixelColor(60, 40), background->tint()));
    }
}

} // namespace
} // namespace faciward::helpers
