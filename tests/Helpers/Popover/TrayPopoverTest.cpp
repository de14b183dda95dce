#include "Helpers/Popover/ApplicationInactiveMouseSource.h"
#include "Helpers/Popover/PopupCoordinator.h"
#include "Helpers/Popover/SystemTrayStatusItem.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Guards.h"
#include "tests/support/WidgetApplication.h"
#include "tests/support/Settle.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>

namespace faciward::helpers {
namespace {

using testing::settle;
using testing::spinUntil;

// The picture-history kind of flow: closes on a click outside the application.
// Its content counts the presses it receives itself.
class TrayMessage : public PopupCoordinator
{
public:
    TrayMessage(std::shared_ptr<StatusItem> item, int &finished, int &presses,
                std::shared_ptr<GlobalMouseSource> mouseSource = nullptr)
        : PopupCoordinator(std::move(item), true, std::nullopt, [&finished](Coordinator &) { ++finished; },
                           std::move(mouseSource))
        , m_presses(presses)
    {
    }
    using PopupCoordinator::popover;

protected:
    QWidget *contentWidget() override
    {
        auto *content = new QPushButton(QStringLiteral("Under the tray icon"));
        QObject::connect(content, &QPushButton::pressed, [this] { ++m_presses; });
        return content;
    }
    std::optional<QSize> contentSize() override { return QSize(220, 80); }

private:
    int &m_presses;
};

void click(QPoint at)
{
    ASSERT_EQ(testing::ChildProcess::run(
                  {"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", "1"}),
              0);
}

QImage screen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// The X11 platform, and the tray over XEmbed rather than D-Bus.
void useX11()
{
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    testing::widgetApplication();
}

// What a window manager does to a client's window when the user minimises it
// and brings it back, done from a connection of its own as a window manager's
// would be: the ICCCM state property, then the unmap or map.
class WindowManagerStandIn
{
public:
    WindowManagerStandIn()
        : m_display(XOpenDisplay(nullptr))
    {
    }
    ~WindowManagerStandIn()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool connected() const { return m_display; }

    void minimise(WId window) { setState(window, IconicState); }
    /// Gives the keyboard to the root window, as when the user clicks elsewhere.
    void focusElsewhere()
    {
        XSetInputFocus(m_display, PointerRoot, RevertToPointerRoot, CurrentTime);
        XFlush(m_display);
    }
    void restore(WId window) { setState(window, NormalState); }

private:
    void setState(WId window, long state)
    {
        const Atom wmState = XInternAtom(m_display, "WM_STATE", False);
        const long value[] = {state, None};
        XChangeProperty(m_display, window, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(value), 2);
        if (state == IconicState)
            XUnmapWindow(m_display, window);
        else
            XMapWindow(m_display, window);
        XFlush(m_display);
    }

    Display *m_display;
};

// A status item that stays where a tray at the top right would put it.
struct TopRightStatusItem : StatusItem {
    QRect anchorRect() const override { return QRect(800, 0, 22, 22); }
};

// Under the Xvfb of scripts/test, with trayer at its top right: the real
// tray, the real X input path, clicks made by xdotool.
TEST(TrayPopover, arrowPointsAtTheTrayIconAndOnlyOutsideClicksClose)
{
    FACIWARD_REQUIRE_DISPLAY();
    FACIWARD_REQUIRE_PROGRAM("xdotool");
    useX11();
    testing::ExpectStderr chosen("outside clicks: using XInput2");
    QPixmap icon(22, 22);
    icon.fill(Qt::darkCyan);
    auto item = std::make_shared<SystemTrayStatusItem>(QIcon(icon));
    // Docked once trayer has grown its panel to the left, back on the screen,
    // at the top right.
    ASSERT_TRUE(spinUntil([&] {
        const QRect docked = item->trayIcon().geometry();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        return !docked.isEmpty() && screen.contains(docked) && docked.left() > screen.center().x();
    })) << "no tray icon docked (scripts/test starts trayer)";
    const QRect tray = item->trayIcon().geometry();

    int finished = 0, presses = 0;
    auto popup = std::make_shared<TrayMessage>(item, finished, presses);
    popup->start();
    PopoverWindow &popover = popup->popover();
    ASSERT_TRUE(spinUntil([&] { return popover.windowHandle() && popover.windowHandle()->isExposed(); }));
    EXPECT_EQ(popover.arrowTip().x(), tray.center().x());
    EXPECT_GE(popover.geometry().top(), tray.bottom());
    // On screen: the arrow is drawn right under the icon's centre, and beside
    // it, above the body, the mask lets what lies under the window show.
    const QColor body = popover.palette().color(QPalette::Window);
    const QPoint tip = popover.arrowTip();
    const QPoint inArrow = tip + QPoint(0, PopoverWindow::arrowHeight - 2);
    ASSERT_TRUE(spinUntil([&] { return screen().pixelColor(inArrow) == body; }));
    EXPECT_NE(screen().pixelColor(tip - QPoint(PopoverWindow::arrowWidth, -2)), body);
    testing::saveScreenshot(screen(), "popover-under-tray");

    // Presses the application receives itself, in the popover or in another
    // of its windows, are not outside clicks; one on the bare root window is.
    // Each reaches the monitor's own X connection as soon as the application's
    // window has it, before the pointer moves on.
    QPushButton other(QStringLiteral("Another window of the application"));
    QObject::connect(&other, &QPushButton::pressed, [&] { ++presses; });
    other.setGeometry(40, 300, 300, 60);
    other.show();
    ASSERT_TRUE(spinUntil([&] { return other.windowHandle()->isExposed(); }));
    for (const QPoint at : {popover.geometry().center(), other.geometry().center()}) {
        const int before = presses;
        click(at);
        ASSERT_TRUE(spinUntil([&] { return presses > before; }));
    }
    settle();
    EXPECT_TRUE(popover.isVisible());
    click(QPoint(500, 600));
    ASSERT_TRUE(spinUntil([&] { return finished > 0; }));
    settle();
    EXPECT_FALSE(popover.isVisible());
    EXPECT_EQ(finished, 1);
}

// A minimise hides the popover by the window manager's hand, and a restore
// brings it back: the flow has not ended, so an outside click still closes it.
TEST(TrayPopover, anOutsideClickStillClosesItAfterAMinimiseAndARestore)
{
    FACIWARD_REQUIRE_DISPLAY();
    FACIWARD_REQUIRE_PROGRAM("xdotool");
    useX11();
    testing::ExpectStderr chosen("outside clicks: using XInput2");
    int finished = 0, presses = 0;
    auto popup = std::make_shared<TrayMessage>(std::make_shared<TopRightStatusItem>(), finished, presses);
    popup->start();
    PopoverWindow &popover = popup->popover();
    ASSERT_TRUE(spinUntil([&] { return popover.windowHandle() && popover.windowHandle()->isExposed(); }));

    WindowManagerStandIn windowManager;
    ASSERT_TRUE(windowManager.connected());
    windowManager.minimise(popover.winId());
    ASSERT_TRUE(spinUntil([&] { return popover.isMinimized() && !popover.windowHandle()->isExposed(); }));
    windowManager.restore(popover.winId());
    ASSERT_TRUE(spinUntil([&] { return !popover.isMinimized() && popover.windowHandle()->isExposed(); }));
    settle();
    EXPECT_EQ(finished, 0);
    ASSERT_TRUE(popover.isVisible());

    click(QPoint(500, 600));
    ASSERT_TRUE(spinUntil([&] { return finished > 0; })) << "the outside-click monitor was stopped by the minimise";
    settle();
    EXPECT_FALSE(popover.isVisible());
    EXPECT_EQ(finished, 1);
}

// Where no platform-wide monitor exists (Wayland, no XInput2), a click
// elsewhere is seen as the application losing the focus, and closes the popover.
TEST(TrayPopover, withoutAMonitorLosingTheFocusClosesIt)
{
    FACIWARD_REQUIRE_DISPLAY();
    useX11();
    int finished = 0, presses = 0;
    auto source = std::make_shared<ApplicationInactiveMouseSource>();
    auto popup = std::make_shared<TrayMessage>(std::make_shared<TopRightStatusItem>(), finished, presses, source);
    popup->start();
    PopoverWindow &popover = popup->popover();
    // Shown and active: the popover takes the keyboard for its content.
    ASSERT_TRUE(spinUntil([] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }));
    EXPECT_EQ(source->monitorCount(), 1u);
    settle();
    EXPECT_EQ(finished, 0);

    WindowManagerStandIn elsewhere;
    ASSERT_TRUE(elsewhere.connected());
    elsewhere.focusElsewhere();
    ASSERT_TRUE(spinUntil([&] { return finished > 0; }));
    settle();
    EXPECT_FALSE(popover.isVisible());
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(source->monitorCount(), 0u);
}

} // namespace
} // namespace faciward::helpers
