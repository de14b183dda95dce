#include "Helpers/Core/WindowController.h"
#include "Helpers/Core/WindowFades.h"

#include "tests/support/Guards.h"
#include "tests/support/VirtualScheduler.h"
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
    auto at = [](double p1, double p2, double t) { return 3 * (1 - t) * t * ((1 - t) * p1 + t * p2) + t * t * t; };
    double lo = 0, hi = 1;
    for (int i = 0; i < 60; ++i)
        (at(x1, x2, (lo + hi) / 2) < x ? lo : hi) = (lo + hi) / 2;
    return at(y1, y2, lo);
}

TEST(TimingCurveTest, curvesAreTheCubicBeziers)
{
    using T = TimingFunction;
    const std::pair<T, std::array<double, 4>> curves[] = {
        {T::EaseIn, {0.42, 0, 1, 1}},          {T::EaseOut, {0, 0, 0.58, 1}}, {T::EaseInEaseOut, {0.42, 0, 0.58, 1}},
        {T::Linear, {1 / 3.0, 1 / 3.0, 2 / 3.0, 2 / 3.0}}, {T::Default, {0.25, 0.1, 0.25, 1}}};
    for (const auto &[function, c] : curves)
        for (double x : {0.25, 0.5, 0.75})
            EXPECT_NEAR(timingCurve(function).valueForProgress(x), bezierAt(c[0], c[1], c[2], c[3], x), 1e-3)
                << static_cast<int>(function) << " at " << x;
}

class WindowFadesTest : public ::testing::Test
{
protected:
    void SetUp() override { testing::widgetApplication(); }
    testing::ExpectStderr m_offscreen{"This plugin does not support (setting window opacity|raise)"};
};

TEST_F(WindowFadesTest, fadeOutHidesAndRestoresTheOpacityFromBefore)
{
    // A fade that interrupts another restores what the window had before the first one, not a
    // half-way value; right after a fade-in starts, that is 1, and the fade-in must not come back.
    enum { Alone, AfterFadeOut, AfterShowing };
    for (const auto &[before, first] : {std::pair{1.0, Alone}, {0.6, Alone}, {0.8, AfterFadeOut}, {1.0, AfterShowing}}) {
        QWidget window;
        window.show();
        window.setWindowOpacity(before);
        int firstCompletions = 0;
        if (first == AfterFadeOut) {
            fadeOut(window, 2s, TimingFunction::Linear, 0.0, CloseFunction::OrderOut, true, [&] { ++firstCompletions; });
            ASSERT_TRUE(testing::spinUntil([&] { return window.windowOpacity() < before - 0.1; }));
        }
        if (first == AfterShowing)
            showFadingIn(window);
        QElapsedTimer clock;
        clock.start();
        fadeOutAndHide(window);
        ASSERT_TRUE(testing::spinUntil([&] { return !window.isVisible(); }));
        EXPECT_GE(clock.elapsed(), 200);
        EXPECT_NEAR(window.windowOpacity(), before, kAlphaStep);
        EXPECT_EQ(firstCompletions, 0);
    }
}

TEST_F(WindowFadesTest, showFadingInCentresAndEndsOpaque)
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
    EXPECT_LT(0, frame.top() - area.top()); // above the middle, below the top
    EXPECT_LT(frame.top() - area.top(), area.bottom() - frame.bottom());
}

// Closes only when it need not be asked, as a window with a should-close question does.
struct ReluctantWindow : QWidget
{
    void closeEvent(QCloseEvent *event) override { event->setAccepted(isClosingUnconditionally(*this)); }
};

// The delay in virtual time, to the millisecond; the fade-out that follows
// runs in Qt's own.
TEST_F(WindowFadesTest, delayedCloseRunsLaterEvenWithNoDelayAndDoesNotAsk)
{
    testing::VirtualScheduler queue;
    WindowController controller(new ReluctantWindow, WindowOwnership::Controller, nullptr, &queue);
    QWidget &window = *controller.window();
    const std::chrono::duration<double> delays[] = {0s, 0.3s};
    for (const auto after : delays) {
        SCOPED_TRACE(after.count());
        window.show();
        closeWindowNow(window, CloseFunction::PerformClose);
        ASSERT_TRUE(window.isVisible()); // asked, and it said no
        int completions = 0;
        controller.closeWindow(after, [&] { ++completions; });
        queue.advanceBy(std::chrono::ceil<Delay>(after) - Delay(1));
        EXPECT_EQ(runningFade(window), nullptr) << "not before the delay, nor before the caller returns";
        queue.advanceBy(Delay(1));
        EXPECT_NE(runningFade(window), nullptr);
        ASSERT_TRUE(testing::spinUntil([&] { return completions == 1; }));
        EXPECT_FALSE(window.isVisible());
        EXPECT_NEAR(window.windowOpacity(), 1.0, kAlphaStep);
    }
}

} // namespace
} // namespace faciward::helpers
