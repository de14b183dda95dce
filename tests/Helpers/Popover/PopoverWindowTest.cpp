#include "Helpers/Popover/EventMonitor.h"
#include "Helpers/Popover/PopoverWindow.h"
#include "Helpers/Popover/SystemTrayStatusItem.h"
#include "tests/support/FakeMouseSource.h"
#include "tests/support/OffscreenTest.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using PopoverWindowTest = testing::OffscreenTest;

// Anchors at the corners of the screen: the window hangs below a top anchor
// and above a bottom one, stays on the screen, and its arrow points at the
// anchor's centre unless the rounded corner is in the way.
TEST_F(PopoverWindowTest, hangsFromItsAnchorAndStaysOnScreen)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int inset = PopoverWindow::arrowWidth / 2 + 1;
    struct Case { const char *name; QRect anchor; bool below; } const cases[] = {
        {"top right", QRect(area.right() - 30, area.top(), 22, 22), true},
        {"bottom right", QRect(area.right() - 30, area.bottom() - 21, 22, 22), false},
        {"top left corner", QRect(area.left(), area.top(), 4, 4), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PopoverWindow popover;
        popover.setContentSize(QSize(200, 120));
        popover.showRelativeTo(c.anchor);
        const QRect frame = popover.geometry();
        EXPECT_TRUE(area.contains(frame));
        EXPECT_EQ(popover.opensBelow(), c.below);
        EXPECT_EQ(c.below ? frame.top() : frame.bottom(), c.below ? c.anchor.bottom() + 1 : c.anchor.top() - 1);
        EXPECT_EQ(popover.arrowTip().x(), std::max(c.anchor.center().x(), frame.left() + inset));
        EXPECT_EQ(popover.arrowTip().y(), c.below ? frame.top() : frame.bottom() + 1);
        // No compositor here: the mask cuts the rounded corners and keeps the arrow.
        const QPoint arrow = popover.mapFromGlobal(popover.arrowTip()) + QPoint(0, c.below ? 3 : -3);
        EXPECT_TRUE(popover.mask().contains(arrow));
        const QPoint farCorner(c.anchor.center().x() < frame.center().x() ? frame.width() - 1 : 0,
                               c.below ? frame.height() - 1 : 0);
        EXPECT_FALSE(popover.mask().contains(farCorner));
    }
}

TEST(EventMonitor, registersOnceHowEverOftenStarted)
{
    auto source = std::make_shared<testing::FakeMouseSource>();
    int presses = 0;
    {
        EventMonitor monitor(Qt::LeftButton | Qt::RightButton, [&](Qt::MouseButton) { ++presses; }, source);
        monitor.start();
        monitor.start();
        EXPECT_EQ(source->monitorCount(), 1u);
        source->press(Qt::RightButton);
        source->press(Qt::MiddleButton);
        EXPECT_EQ(presses, 1);
        monitor.stop();
        monitor.stop();
        EXPECT_EQ(source->monitorCount(), 0u);
        monitor.start();
    }
    EXPECT_EQ(source->monitorCount(), 0u) << "destroying the monitor stops it";
}

// The offscreen platform has no tray, as many Linux desktops do not.
TEST_F(PopoverWindowTest, statusItemWithoutATrayAnchorsAtTheTopRightOfTheScreen)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QPixmap icon(22, 22);
    icon.fill(Qt::darkCyan);
    SystemTrayStatusItem item{QIcon(icon)};
    EXPECT_EQ(item.anchorRect().topLeft(), QPoint(area.right(), area.top()));
}

} // namespace
} // namespace faciward::helpers
