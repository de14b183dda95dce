#include "Helpers/Core/WindowController.h"
#include "Helpers/Core/WindowFades.h"

#include "tests/support/Guards.h"
#include "tests/support/WidgetApplication.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEasingCurve>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using namespace std::chrono_literals;
constexpr double kAlphaStep = 1.0 / 255; // window opacity round-trips in 8 bits

// y at x of the cubic Bézier (0,0) c1 c2 (1,1), by bisection on its monotonic x(t).
double bezierAt(double x1, double y1, double x2, double y2, double x)
{
    auto at = [](double p1, double p2, double t) {
        return 3 * (1 - t) * (1 - t) * t * p1 + 3 * (1 - t) * t * t * p2 + t * t * t;
    };
    double lo = 0, hi = 1;
    for (int i = 0; i < 60; ++i)
        (at(x1, x2, (lo + hi) / 2) < x ? lo : hi) = (lo + hi) / 2;
    return at(y1, y2, (lo + hi) / 2);
}

class WindowFadesTest : public ::testing::Test
{
protected:
    void SetUp() override { testing::widgetApplication(); }
    testing::ExpectStderr m_offscreen{"This plugin does not support (setting window opacity|raise)"};
};

// Closes only when it need not be asked, as a window with a should-close question does.
class ReluctantWindow : public QWidget
{
    void closeEvent(QCloseEvent *event) override { event->setAccepted(isClosingUnconditionally(*this)); }
};

TEST(TimingCurveTest, CurvesAreTheCubicBeziers)
{
    const struct
    {
        TimingFunction function;
        double x1, y1, x2, y2;
    } curves[] = {
        {TimingFunction::EaseIn, 0.42, 0, 1, 1},        {TimingFunction::EaseOut, 0, 0, 0.58, 1},
        {TimingFunction::EaseInEaseOut, 0.42, 0, 0.58, 1}, {TimingFunction::Linear, 0, 0, 1, 1},
        {TimingFunction::Default, 0.25, 0.1, 0.25, 1},
    };
    for (const auto &c : curves)
        for (double x : {0.25, 0.5, 0.75})
            EXPECT_NEAR(timingCurve(c.function).valueForProgress(x), bezierAt(c.x1, c.y1, c.x2, c.y2, x), 1e-3)
                << static_cast<int>(c.function) << " at " << x;
}

TEST_F(WindowFadesTest, FadeOutHidesAndRestoresOpacity)
{
    for (const double before : {1.0, 0.6}) {
        QWidget window;
        window.show();
        window.setWindowOpacity(before);
        QElapsedTimer clock;
        clock.start();
        fadeOutAndHide(window);
        ASSERT_TRUE(testing::spinUntil([&] { return !window.isVisible(); }));
        EXPECT_GE(clock.elapsed(), 200);
        EXPECT_NEAR(window.windowOpacity(), before, kAlphaStep);
    }
}

TEST_F(WindowFadesTest, SecondFadeKeepsTheOpacityFromBeforeTheFirst)
{
    QWidget window;
    window.show();
    int firstCompletions = 0;
    fadeOut(window, 2s, TimingFunction::Linear, 0.0, CloseFunction::OrderOut, true, [&] { ++firstCompletions; });
    ASSERT_TRUE(testing::spinUntil([&] { return window.windowOpacity() < 0.9; }));
    fadeOutAndHide(window);
    ASSERT_TRUE(testing::spinUntil([&] { return !window.isVisible(); }));
    EXPECT_NEAR(window.windowOpacity(), 1.0, kAlphaStep);
    EXPECT_EQ(firstCompletions, 0);
}

TEST_F(WindowFadesTest, ShowFadingInCentresAndEndsOpaque)
{
    WindowController controller(new QWidget);
    QWidget &window = *controller.window();
    window.resize(300, 200);
    controller.showWindowFadingIn();
    EXPECT_TRUE(window.isVisible());
    EXPECT_NEAR(window.windowOpacity(), 0.0, kAlphaStep);
    ASSERT_TRUE(testing::spinUntil([&] { return window.windowOpacity() > 1.0 - kAlphaStep; }));
    const QRect area = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();
    EXPECT_NEAR(frame.left() - area.left(), area.right() - frame.right(), 1);
    EXPECT_GT(frame.top() - area.top(), 0);
    EXPECT_LT(frame.top() - area.top(), area.bottom() - frame.bottom());
    WindowController().showWindowFadingIn(); // no window: nothing to show, nothing to fail
}

TEST_F(WindowFadesTest, CloseFunctionsAskOrNot)
{
    const std::pair<CloseFunction, bool> table[] = {
        {CloseFunction::OrderOut, true}, {CloseFunction::Close, true}, {CloseFunction::PerformClose, false}};
    for (const auto &[function, hidden] : table) {
        ReluctantWindow window;
        window.show();
        close(window, function);
        EXPECT_EQ(!window.isVisible(), hidden) << static_cast<int>(function);
    }
}

TEST_F(WindowFadesTest, DelayedCloseRunsLaterEvenWithNoDelay)
{
    WindowController controller(new ReluctantWindow);
    controller.window()->show();
    int completions = 0;
    controller.closeWindow(0s, [&] { ++completions; });
    EXPECT_TRUE(controller.window()->isVisible());
    ASSERT_TRUE(testing::spinUntil([&] { return completions == 1; }));
    EXPECT_FALSE(controller.window()->isVisible());
    EXPECT_NEAR(controller.window()->windowOpacity(), 1.0, kAlphaStep);
}

} // namespace
} // namespace faciward::helpers
