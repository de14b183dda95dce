#include "Helpers/Popover/PopupCoordinator.h"
#include "Helpers/Popover/SystemTrayStatusItem.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Guards.h"
#include "tests/support/WidgetApplication.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>

namespace faciward::helpers {
namespace {

using testing::spinUntil;

// Under the Xvfb of scripts/test, with trayer at its top right: the real
// tray, the real X input path, clicks made by xdotool.
class TrayPopover : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char *display = std::getenv("DISPLAY");
        if (!display || !*display) {
            if (testing::servicesRequired())
                FAIL() << "an X display is needed (FACIWARD_REQUIRE_SERVICES=1)";
            GTEST_SKIP() << "no X display";
        }
        FACIWARD_REQUIRE_PROGRAM("xdotool");
        // The X11 platform, and the tray over XEmbed rather than D-Bus.
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        testing::widgetApplication();
        ASSERT_TRUE(spinUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }))
            << "no system tray on " << display << " (scripts/test starts trayer)";
    }

    static void click(QPoint at)
    {
        ASSERT_EQ(testing::ChildProcess::run({"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y()),
                                              "click", "1"}),
                  0);
    }

    static QImage screen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }
};

// The picture-history kind of flow: closes on a click outside the application.
class TrayMessage : public PopupCoordinator
{
public:
    TrayMessage(std::shared_ptr<StatusItem> item, int &finished)
        : PopupCoordinator(std::move(item), true, std::nullopt, [&finished](Coordinator &) { ++finished; })
    {
    }
    using PopupCoordinator::popover;

protected:
    QWidget *contentWidget() override { return new QLabel(QStringLiteral("Under the tray icon")); }
    std::optional<QSize> contentSize() override { return QSize(220, 80); }
};

TEST_F(TrayPopover, ArrowPointsAtTheTrayIconAndOnlyOutsideClicksClose)
{
    testing::ExpectStderr chosen("outside clicks: using XInput2");
    QPixmap icon(22, 22);
    icon.fill(Qt::darkCyan);
    auto item = std::make_shared<SystemTrayStatusItem>(QIcon(icon));
    // Docked once trayer has laid its panel out again, at the top right where
    // scripts/test puts it.
    ASSERT_TRUE(spinUntil([&] {
        const QRect docked = item->trayIcon().geometry();
        return !docked.isEmpty() && docked.left() > QGuiApplication::primaryScreen()->geometry().center().x();
    }));
    const QRect tray = item->trayIcon().geometry();

    int finished = 0;
    auto popup = std::make_shared<TrayMessage>(item, finished);
    popup->start();
    PopoverWindow &popover = popup->popover();
    ASSERT_TRUE(spinUntil([&] { return popover.windowHandle() && popover.windowHandle()->isExposed(); }));
    EXPECT_EQ(popover.arrowTip().x(), tray.center().x());
    EXPECT_GE(popover.geometry().top(), tray.bottom());
    // On screen: the arrow is drawn right under the icon's centre, and beside
    // it, above the body, the mask lets what lies under the window show.
    const QColor body = popover.palette().color(QPalette::Window);
    const QPoint tip = popover.arrowTip();
    ASSERT_TRUE(spinUntil([&] { return screen().pixelColor(tip + QPoint(0, PopoverWindow::arrowHeight - 2)) == body; }));
    EXPECT_NE(screen().pixelColor(tip - QPoint(PopoverWindow::arrowWidth, -2)), body);
    testing::saveScreenshot(screen(), "popover-under-tray");

    // Presses the application receives itself, in the popover or in another
    // of its windows, are not outside clicks; one on the bare root window is.
    QLabel other(QStringLiteral("Another window of the application"));
    other.setGeometry(40, 300, 300, 60);
    other.show();
    ASSERT_TRUE(spinUntil([&] { return other.windowHandle()->isExposed(); }));
    struct PressCounter : QObject {
        int presses = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            presses += event->type() == QEvent::MouseButtonPress;
            return false;
        }
    } own;
    qApp->installEventFilter(&own);
    // Each press reaches the outside-click monitor's connection when the
    // application's own has it, before the pointer moves on.
    for (const QPoint at : {popover.geometry().center(), other.geometry().center()}) {
        const int before = own.presses;
        click(at);
        ASSERT_TRUE(spinUntil([&] { return own.presses > before; }));
    }
    qApp->removeEventFilter(&own);
    EXPECT_TRUE(popover.isVisible());
    click(QPoint(500, 600));
    ASSERT_TRUE(spinUntil([&] { return finished > 0; }));
    EXPECT_FALSE(popover.isVisible());
    EXPECT_EQ(finished, 1);
}

} // namespace
} // namespace faciward::helpers
