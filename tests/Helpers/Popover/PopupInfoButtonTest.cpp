#include "Helpers/Popover/PopupInfoButton.h"
#include "tests/support/OffscreenTest.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using testing::spinUntil;

using PopupInfoButtonTest = testing::OffscreenTest;

// A settings row with a large font: a label and the info button beside it.
struct Row {
    Row()
    {
        QFont large = window.font();
        large.setPixelSize(30);
        window.setFont(large);
        auto *layout = new QHBoxLayout(&window);
        layout->addWidget(label);
        layout->addWidget(button);
        window.move(100, 100);
        window.show();
        EXPECT_TRUE(spinUntil([&] { return window.windowHandle()->isExposed(); }));
    }
    void clickOn(QWidget *widget)
    {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, widget->mapTo(&window, widget->rect().center()));
        QCoreApplication::processEvents();
    }

    QWidget window;
    QLabel *label = new QLabel(QStringLiteral("Sensitivity"));
    PopupInfoButton *button = new PopupInfoButton(new QLabel(QStringLiteral("How closely a face must match.")));
};

// Clicks toggle the popover, its state follows a dismissal, and the symbol
// keeps its size beside a large font.
TEST_F(PopupInfoButtonTest, clicksToggleThePopoverAndItsStateFollowsDismissal)
{
    struct Case { const char *name; std::vector<bool> onButton; bool open; } const cases[] = {
        {"open, then close with the button", {true, true}, false},
        {"open, click elsewhere, open again", {true, false, true}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Row row;
        EXPECT_EQ(row.button->size(), QSize(PopupInfoButton::side, PopupInfoButton::side));
        EXPECT_GT(row.label->height(), PopupInfoButton::side);
        for (bool onButton : c.onButton) // on the button, or on the label beside it
            row.clickOn(onButton ? static_cast<QWidget *>(row.button) : row.label);
        EXPECT_EQ(row.button->isOpen(), c.open);
        EXPECT_EQ(row.button->popover().isVisible(), c.open);
        if (c.open) {
            EXPECT_GE(row.button->popover().geometry().top(), row.button->mapToGlobal(QPoint(0, 0)).y() + 18);
            testing::grabWidget(row.window, "popup-info-button");
            testing::grabWidget(row.button->popover(), "popup-info-button-popover");
        }
    }
}

} // namespace
} // namespace faciward::helpers
