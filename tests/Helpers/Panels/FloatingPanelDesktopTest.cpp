#include "Helpers/Panels/FloatingPanel.h"
#include "Helpers/Panels/FloatingPanelManager.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/ColourSchemes.h"
#include "tests/support/Guards.h"
#include "tests/support/PrivateXServer.h"
#include "tests/support/WidgetApplication.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>

namespace faciward::helpers {
namespace {

using testing::spinUntil;

// An X server of this test binary's own with a click-to-focus window manager
// on it, made once before the QApplication, which then stays on it. Its own
// X connection stands for another application, as far as the window manager
// can tell.
class Desktop
{
public:
    static Desktop &instance()
    {
        static Desktop desktop;
        return desktop;
    }

    ~Desktop()
    {
        if (m_x)
            XCloseDisplay(m_x);
    }

    const testing::PrivateXServer &server() const { return m_server; }
    /// Whether the window manager runs and puts windows on screen.
    bool ready() const { return m_ready; }
    Display *x() const { return m_x; }

    bool owned(const char *selection) const
    {
        return XGetSelectionOwner(m_x, XInternAtom(m_x, selection, False)) != None;
    }

    Window inputFocus() const
    {
        XSync(m_x, False);
        Window focus = None;
        int revert = 0;
        XGetInputFocus(m_x, &focus, &revert);
        return focus;
    }

    /// A plain 300x150 window of the other application that takes the focus
    /// when clicked.
    Window openOtherWindow()
    {
        const Window window =
            XCreateSimpleWindow(m_x, DefaultRootWindow(m_x), 300, 40, 300, 150, 0, 0, WhitePixel(m_x, 0));
        XStoreName(m_x, window, "another application");
        XWMHints hints{};
        hints.flags = InputHint;
        hints.input = True;
        XSetWMHints(m_x, window, &hints);
        XMapWindow(m_x, window);
        XFlush(m_x);
        return window;
    }

    bool framed(Window window) const
    {
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_x, window, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        return parent != root;
    }

    bool viewable(Window window) const
    {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(m_x, window, &attributes) && attributes.map_state == IsViewable;
    }

    /// Where @p window is on screen, wherever the window manager put it.
    QRect geometryOf(Window window) const
    {
        XWindowAttributes attributes{};
        XGetWindowAttributes(m_x, window, &attributes);
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(m_x, window, DefaultRootWindow(m_x), 0, 0, &x, &y, &child);
        return QRect(x, y, attributes.width, attributes.height);
    }
    QPoint topLeftOf(Window window) const { return geometryOf(window).topLeft(); }
    QPoint centreOf(Window window) const { return geometryOf(window).center(); }

    /// Paints the bare desktop in one plain colour, as a desktop's wallpaper
    /// would cover it.
    void plainDesktop(unsigned long pixel)
    {
        XSetWindowBackground(m_x, DefaultRootWindow(m_x), pixel);
        XClearWindow(m_x, DefaultRootWindow(m_x));
        XSync(m_x, False);
    }

    int click(QPoint at) const
    {
        return m_server.xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", "1"});
    }

private:
    Desktop()
    {
        ::setenv("DISPLAY", m_server.display().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        testing::widgetApplication();
        m_x = XOpenDisplay(m_server.display().c_str());
        m_windowManager = m_server.startClient({"openbox"});
        spinUntil([this] { return owned("WM_S0"); });
        // The window manager takes its selection before it is ready, and drops
        // the windows mapped meanwhile: it is ready once it has put a probe in
        // a frame of its own and on screen (the probe asks again until then).
        const Window probe = XCreateSimpleWindow(m_x, DefaultRootWindow(m_x), 0, 0, 10, 10, 0, 0, 0);
        m_ready = spinUntil([&] {
            if (viewable(probe) && framed(probe))
                return true;
            XMapWindow(m_x, probe);
            XSync(m_x, False);
            return false;
        });
        XDestroyWindow(m_x, probe);
        XSync(m_x, False);
    }

    testing::PrivateXServer m_server;
    std::unique_ptr<testing::ChildProcess> m_windowManager;
    Display *m_x = nullptr;
    bool m_ready = false;
};

class FloatingPanelDesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FACIWARD_REQUIRE_PROGRAM("Xvfb");
        FACIWARD_REQUIRE_PROGRAM("xdotool");
        FACIWARD_REQUIRE_PROGRAM("openbox");
        ASSERT_TRUE(Desktop::instance().ready()) << "the window manager did not start";
    }

    static QPixmap picture()
    {
        QPixmap pixmap(160, 120);
        pixmap.fill(QColor(30, 140, 90));
        return pixmap;
    }

    std::shared_ptr<FloatingPanelManager> manager = FloatingPanelManager::create();
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/tmp/floating.png"));
};

// A floating panel never takes the focus from the application the user is in:
// neither when it appears nor when it is clicked.
TEST_F(FloatingPanelDesktopTest, aClickOnThePanelLeavesTheActiveWindowWhereItWas)
{
    Desktop &desktop = Desktop::instance();
    const Window other = desktop.openOtherWindow();
    ASSERT_TRUE(spinUntil([&] { return desktop.viewable(other) && desktop.framed(other); }));
    ASSERT_EQ(desktop.click(desktop.centreOf(other)), 0);
    ASSERT_TRUE(spinUntil([&] { return desktop.inputFocus() == other; })) << "a click focuses the other window";

    manager->showPanel(picture(), url, QPoint(20, 440));
    FloatingPanel *panel = manager->panel(url);
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(spinUntil([&] {
        return panel->windowHandle() && panel->windowHandle()->isExposed() && desktop.framed(panel->winId());
    }));
    EXPECT_EQ(desktop.inputFocus(), other) << "shown without taking the focus";

    int presses = 0;
    struct PressCounter : QObject
    {
        int &count;
        explicit PressCounter(int &count) : count(count) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::MouseButtonPress)
                ++count;
            return false;
        }
    } counter(presses);
    panel->windowHandle()->installEventFilter(&counter);
    // At the card's centre, on the picture: a click, not a drag.
    const QPoint at = desktop.centreOf(panel->winId());
    ASSERT_EQ(desktop.click(at), 0);
    // A click-to-focus window manager decides on the press before it lets the
    // application have it, so once the panel has the press the focus is settled.
    ASSERT_TRUE(spinUntil([&] { return presses > 0; }));
    EXPECT_EQ(desktop.inputFocus(), other);
    EXPECT_NE(QGuiApplication::applicationState(), Qt::ApplicationActive);
    panel->windowHandle()->removeEventFilter(&counter);
    XDestroyWindow(desktop.x(), other);
}

QImage screen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

// Where a compositor runs, the card casts its shadow (2 right and 2 down,
// black at 0.33) on the desktop and its rounded corners show the desktop;
// without one the window is cut to the card's shape and casts none.
TEST_F(FloatingPanelDesktopTest, theCardCastsItsShadowWhereACompositorRuns)
{
    FACIWARD_REQUIRE_PROGRAM("xcompmgr");
    Desktop &desktop = Desktop::instance();
    desktop.plainDesktop(0x808080);
    const QColor green(30, 140, 90);
    for (const bool composited : {false, true}) {
        SCOPED_TRACE(composited ? "compositor" : "no compositor");
        std::unique_ptr<testing::ChildProcess> compositor;
        if (composited) {
            compositor = desktop.server().startClient({"xcompmgr"});
            ASSERT_TRUE(spinUntil([&] { return desktop.owned("_NET_WM_CM_S0"); }));
        }
        auto panels = FloatingPanelManager::create();
        panels->showPanel(picture(), url, QPoint(40, 440));
        FloatingPanel *panel = panels->panel(url);
        ASSERT_TRUE(spinUntil([&] {
            return panel->windowHandle() && panel->windowHandle()->isExposed() && desktop.framed(panel->winId());
        }));
        // The card's lower left corner is where it was asked for on screen,
        // with the shadow's room beside it. (Read from the server: Qt may hear
        // of the window manager's frame later.)
        const QRect card(40, 440 - 200, 200, 200);
        EXPECT_EQ(QRect(desktop.topLeftOf(panel->winId()) + panel->contentGeometry().topLeft() - panel->pos(),
                        panel->contentGeometry().size()),
                  card);
        EXPECT_EQ(panel->testAttribute(Qt::WA_TranslucentBackground), composited);
        EXPECT_EQ(panel->mask().isEmpty(), composited);
        // Once the card is on screen (the picture's colour at its centre).
        ASSERT_TRUE(spinUntil([&] { return screen().pixelColor(card.center()) == green; }));
        const QImage shot = screen();
        testing::saveScreenshot(shot.copy(card.adjusted(-10, -10, 10, 10)),
                                composited ? "floating-panel-composited" : "floating-panel-on-x11");
        const QColor bare = shot.pixelColor(600, 20);
        const auto darker = [&](QPoint at) { return bare.red() - shot.pixelColor(at).red(); };
        EXPECT_TRUE(testing::coloursNear(shot.pixelColor(card.topLeft() + QPoint(1, 1)), bare, 2))
            << "the rounded corner shows the desktop";
        EXPECT_EQ(darker(QPoint(card.left() - 2, card.center().y())), 0) << "no shadow to the left";
        EXPECT_EQ(darker(QPoint(card.center().x(), card.top() - 2)), 0) << "no shadow above";
        for (const QPoint shadowed : {QPoint(card.right() + 1, card.center().y()),
                                      QPoint(card.center().x(), card.bottom() + 1)}) {
            if (composited)
                EXPECT_GE(darker(shadowed), 15) << shadowed.x() << "," << shadowed.y();
            else
                EXPECT_EQ(darker(shadowed), 0) << shadowed.x() << "," << shadowed.y();
        }
        panels->removePanel(url);
        ASSERT_TRUE(spinUntil([&] { return screen().pixelColor(card.center()) == bare; }));
    }
}

} // namespace
} // namespace faciward::helpers
