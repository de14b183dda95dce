#include "Helpers/Core/WindowController.h"
#include "Helpers/Core/WindowFades.h"

#include "tests/support/Guards.h"
#include "tests/support/VirtualScheduler.h"
#include "tests/support/WidgetApplication.h"

#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using namespace std::chrono_literals;

// Windows and controllers that go away while their fade or close is pending:
// nothing may touch them afterwards (the sanitizer builds check that).
TEST(WindowLifetimeTest, goneBeforeTheEndMeansNoCompletion)
{
    testing::widgetApplication();
    testing::ExpectStderr offscreenOpacity("does not support setting window opacity");
    int completions = 0;
    auto count = [&] { ++completions; };

    auto *faded = new QWidget;
    faded->show();
    fadeOut(*faded, 200ms, TimingFunction::Default, 0.0, CloseFunction::OrderOut, true, count);
    auto *instant = new QWidget;
    instant->show();
    fadeOut(*instant, 0ms, TimingFunction::Default, 0.0, CloseFunction::Close, true, count);
    delete instant;
    QTimer::singleShot(50ms, faded, [faded] { delete faded; }); // mid-fade

    testing::VirtualScheduler queue;
    auto *controller = new WindowController(new QWidget, WindowOwnership::Controller, nullptr, &queue);
    controller->window()->show();
    controller->closeWindow(0.05s, count);
    delete controller;
    queue.advanceBy(1.0); // past the delayed close

    int probes = 0;
    QTimer::singleShot(400ms, [&] { ++probes; }); // past every fade above
    ASSERT_TRUE(testing::spinUntil([&] { return probes == 1; }));
    EXPECT_EQ(completions, 0);
}

} // namespace
} // namespace faciward::helpers
