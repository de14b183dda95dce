#include "Helpers/Popover/PopupCoordinator.h"
#include "tests/support/FakeMouseSource.h"
#include "tests/support/OffscreenTest.h"
#include "tests/support/Settle.h"
#include "tests/support/VirtualScheduler.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using namespace std::chrono_literals;
using testing::spinUntil;

// A text message flow, as the application's popovers are built.
// The status item of a tray at the top right.
struct FixedStatusItem : StatusItem {
    QRect anchorRect() const override { return QRect(600, 0, 22, 22); }
};

class MessagePopup : public PopupCoordinator
{
public:
    MessagePopup(bool withStatusItem, bool allowTapToClose, std::optional<std::chrono::duration<double>> delay,
                 int &finished, std::shared_ptr<GlobalMouseSource> source,
                 std::optional<QSize> contentSize = MessagePopup::size, platform::Scheduler *mainQueue = nullptr)
        : PopupCoordinator(withStatusItem ? std::make_shared<FixedStatusItem>() : nullptr,
                           allowTapToClose, delay, [&finished](Coordinator &) { ++finished; }, source, mainQueue)
        , m_contentSize(contentSize)
    {
    }
    using PopupCoordinator::popover;
    static constexpr QSize size{240, 90};

protected:
    QWidget *contentWidget() override { return new QLabel(QStringLiteral("Face not recognised")); }
    std::optional<QSize> contentSize() override { return m_contentSize; }

private:
    std::optional<QSize> m_contentSize;
};

class PopupCoordinatorTest : public testing::OffscreenTest
{
protected:
    std::shared_ptr<MessagePopup> startPopup(bool withStatusItem, bool allowTapToClose,
                                             std::optional<std::chrono::duration<double>> delay = std::nullopt)
    {
        auto popup = std::make_shared<MessagePopup>(withStatusItem, allowTapToClose, delay, finished, source);
        popup->start();
        return popup;
    }

    std::shared_ptr<testing::FakeMouseSource> source = std::make_shared<testing::FakeMouseSource>();
    int finished = 0;
};

TEST_F(PopupCoordinatorTest, showsOnALaterTurnAtTheContentSize)
{
    auto popup = startPopup(true, false);
    EXPECT_FALSE(popup->popover().isVisible());
    ASSERT_TRUE(spinUntil([&] { return popup->popover().isVisible(); }));
    EXPECT_EQ(popup->popover().contentWidget()->size(), MessagePopup::size);
    popup->setContentSize(QSize(300, 50));
    EXPECT_EQ(popup->popover().contentWidget()->size(), QSize(300, 50));

    popup->finish();
    EXPECT_TRUE(popup->popover().isVisible()) << "finish() only posts";
    testing::settle();
    EXPECT_FALSE(popup->popover().isVisible());
    EXPECT_EQ(finished, 1);
}

// The monitor runs exactly while a tap-to-close popover is shown, whoever
// hides it; each outside press finishes the flow once more.
TEST_F(PopupCoordinatorTest, monitorRunsOnlyWhileATapToClosePopoverIsShown)
{
    struct Case {
        const char *name;
        bool allowTapToClose, subclassHides;
        int outsidePresses, finishes;
        std::size_t monitorsWhileShown;
    } const cases[] = {
        {"no tap to close", false, false, 1, 0, 0},
        {"one outside press", true, false, 1, 1, 1},
        {"two quick presses", true, false, 2, 2, 1},
        {"hidden by the subclass", true, true, 0, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        finished = 0;
        auto popup = startPopup(true, c.allowTapToClose);
        testing::settle();
        EXPECT_EQ(source->monitorCount(), c.monitorsWhileShown);
        for (int i = 0; i < c.outsidePresses; ++i)
            source->press(Qt::RightButton);
        if (c.subclassHides)
            popup->popover().hide();
        testing::settle();
        EXPECT_EQ(finished, c.finishes);
        EXPECT_EQ(source->monitorCount(), 0u);
    }
}

// In virtual time: the popover shows on the next turn and goes exactly when
// the delay is over.
TEST_F(PopupCoordinatorTest, dismissDelayFinishesAndKeepsTheFlowAliveUntilThen)
{
    testing::VirtualScheduler queue;
    auto popup = std::make_shared<MessagePopup>(true, false, 0.05s, finished, source, MessagePopup::size, &queue);
    popup->start();
    MessagePopup *shown = popup.get();
    std::weak_ptr<MessagePopup> probe = std::exchange(popup, nullptr);
    EXPECT_FALSE(probe.expired()) << "the parent has dropped it, the delayed finish holds it";
    queue.runPending();
    EXPECT_TRUE(shown->popover().isVisible());
    queue.advanceBy(0.049);
    EXPECT_EQ(finished, 0);
    EXPECT_TRUE(shown->popover().isVisible());
    queue.advanceBy(0.001);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(probe.expired());
}

TEST_F(PopupCoordinatorTest, withoutAStatusItemNothingShows)
{
    auto popup = startPopup(false, true);
    testing::settle();
    EXPECT_FALSE(popup->popover().isVisible());
    EXPECT_EQ(source->monitorCount(), 0u);
    EXPECT_EQ(finished, 0);
}

// The rarer paths of a flow: the dismiss delay after a close by hand reports
// the finish once more, and a content of no size of its own keeps the
// popover's size. (The outside click seen as the application turning
// inactive needs a real X server: the tray tests.)
TEST_F(PopupCoordinatorTest, rarerPaths)
{
    const struct Case {
        const char *name;
        std::optional<std::chrono::duration<double>> delay;
        std::optional<QSize> contentSize, sizedBefore;
        bool finishByHand;
        QSize shown;
        int finishes;
    } cases[] = {
        {"the delay after a close by hand", 0.05s, MessagePopup::size, std::nullopt, true, MessagePopup::size, 2},
        {"no content size keeps the popover's", std::nullopt, std::nullopt, QSize(300, 50), false, QSize(300, 50), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        finished = 0;
        testing::VirtualScheduler queue;
        auto popup = std::make_shared<MessagePopup>(true, false, c.delay, finished, source, c.contentSize, &queue);
        if (c.sizedBefore)
            popup->setContentSize(*c.sizedBefore);
        popup->start();
        queue.runPending();
        ASSERT_TRUE(popup->popover().isVisible());
        EXPECT_EQ(popup->popover().contentWidget()->size(), c.shown);
        if (c.finishByHand) {
            popup->finish();
            queue.runPending();
            EXPECT_EQ(finished, 1);
            EXPECT_FALSE(popup->popover().isVisible());
        }
        queue.advanceBy(3600.0); // long past any delay
        EXPECT_EQ(finished, c.finishes);
        popup->popover().hide();
    }
}

} // namespace
} // namespace faciward::helpers
