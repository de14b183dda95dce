#include "Helpers/Core/MainQueue.h"
#include "Helpers/Popover/PopupCoordinator.h"
#include "tests/support/FakeMouseSource.h"
#include "tests/support/FakeStatusItem.h"
#include "OffscreenTest.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using namespace std::chrono_literals;
using testing::spinUntil;

// A text message flow, as the application's popovers are built.
class MessagePopup : public PopupCoordinator
{
public:
    struct Options {
        bool withStatusItem = true;
        bool allowTapToClose = false;
        std::optional<std::chrono::duration<double>> dismissAfterDelay;
    };

    static std::shared_ptr<MessagePopup> create(Options options, int &finished,
                                                std::shared_ptr<testing::FakeMouseSource> source)
    {
        testing::widgetApplication();
        auto item = options.withStatusItem ? std::make_shared<testing::FakeStatusItem>(QRect(600, 0, 22, 22)) : nullptr;
        return std::shared_ptr<MessagePopup>(new MessagePopup(item, options, finished, source));
    }

    using PopupCoordinator::popover;
    static constexpr QSize size{240, 90};

protected:
    QWidget *contentWidget() override { return new QLabel(QStringLiteral("Face not recognised")); }
    std::optional<QSize> contentSize() override { return size; }

private:
    MessagePopup(std::shared_ptr<StatusItem> item, Options options, int &finished,
                 std::shared_ptr<testing::FakeMouseSource> source)
        : PopupCoordinator(item, options.allowTapToClose, options.dismissAfterDelay,
                           [&finished](Coordinator &) { ++finished; }, source)
    {
    }
};

class PopupCoordinatorTest : public testing::OffscreenTest
{
protected:
    std::shared_ptr<MessagePopup> startPopup(MessagePopup::Options options)
    {
        auto popup = MessagePopup::create(options, finished, source);
        popup->start();
        return popup;
    }
    // Lets what is posted now run, and what that posts in turn (a press posts
    // finish(), which posts the close).
    static void drain()
    {
        for (int turn = 0; turn < 3; ++turn) {
            bool ran = false;
            postToMain([&] { ran = true; });
            spinUntil([&] { return ran; });
        }
    }

    std::shared_ptr<testing::FakeMouseSource> source = std::make_shared<testing::FakeMouseSource>();
    int finished = 0;
};

TEST_F(PopupCoordinatorTest, ShowsOnALaterTurnAtTheContentSize)
{
    auto popup = startPopup({});
    EXPECT_FALSE(popup->popover().isVisible());
    ASSERT_TRUE(spinUntil([&] { return popup->popover().isVisible(); }));
    EXPECT_EQ(popup->popover().contentWidget()->size(), MessagePopup::size);
    popup->setContentSize(QSize(300, 50));
    EXPECT_EQ(popup->popover().contentWidget()->size(), QSize(300, 50));

    popup->finish();
    EXPECT_TRUE(popup->popover().isVisible()) << "finish() only posts";
    drain();
    EXPECT_FALSE(popup->popover().isVisible());
    EXPECT_EQ(finished, 1);
}

// The monitor runs exactly while a tap-to-close popover is shown, whoever
// hides it; each outside press finishes the flow once more.
TEST_F(PopupCoordinatorTest, MonitorRunsOnlyWhileATapToClosePopoverIsShown)
{
    struct Case {
        const char *name;
        bool allowTapToClose;
        int outsidePresses;
        bool subclassHides;
        std::size_t monitorsWhileShown;
        int finishes;
    } const cases[] = {
        {"no tap to close", false, 1, false, 0, 0},
        {"one outside press", true, 1, false, 1, 1},
        {"two quick presses", true, 2, false, 1, 2},
        {"hidden by the subclass", true, 0, true, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        finished = 0;
        auto popup = startPopup({true, c.allowTapToClose, std::nullopt});
        drain();
        EXPECT_EQ(source->monitorCount(), c.monitorsWhileShown);
        for (int i = 0; i < c.outsidePresses; ++i)
            source->press(Qt::RightButton);
        if (c.subclassHides)
            popup->popover().hide();
        drain();
        EXPECT_EQ(finished, c.finishes);
        EXPECT_EQ(source->monitorCount(), 0u);
    }
}

TEST_F(PopupCoordinatorTest, DismissDelayFinishesAndKeepsTheFlowAliveUntilThen)
{
    std::weak_ptr<MessagePopup> probe = startPopup({true, false, 0.05s});
    EXPECT_FALSE(probe.expired()) << "the parent has dropped it, the delayed finish holds it";
    ASSERT_TRUE(spinUntil([&] { return finished == 1; }));
    drain();
    EXPECT_TRUE(probe.expired());
}

TEST_F(PopupCoordinatorTest, WithoutAStatusItemNothingShows)
{
    auto popup = startPopup({false, true, std::nullopt});
    drain();
    EXPECT_FALSE(popup->popover().isVisible());
    EXPECT_EQ(source->monitorCount(), 0u);
    EXPECT_EQ(finished, 0);
}

} // namespace
} // namespace faciward::helpers
