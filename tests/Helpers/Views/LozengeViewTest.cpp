#include "Helpers/Views/Divider.h"
#include "Helpers/Views/LozengeView.h"

#include "tests/support/ColourSchemes.h"
#include "tests/support/WidgetApplication.h"

#include <QTest>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

// A lozenge is its text plus the padding; a click runs its action once, and
// one without an action stays a plain label. The mark touches the capsule.
TEST(LozengeView, sizeClicksAndMark)
{
    testing::widgetApplication();
    int taps = 0;
    LozengeViewWithBottomDivider link(QStringLiteral("Security & Privacy"), [&] { ++taps; });
    LozengeView plain(QStringLiteral("Privacy"));
    link.adjustSize();
    plain.adjustSize();
    testing::grabInBothSchemes(link, "lozenge-with-mark");
    testing::grabInBothSchemes(plain, "lozenge-plain");
    for (LozengeView *lozenge : {link.lozenge(), &plain})
        EXPECT_EQ(lozenge->sizeHint(),
                  lozenge->fontMetrics().size(Qt::TextSingleLine, lozenge->lozengeText()) + QSize(64, 24));
    EXPECT_EQ(link.divider()->y(), link.lozenge()->geometry().bottom() + 1);
    EXPECT_EQ(link.lozenge()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(plain.cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseClick(link.lozenge(), Qt::LeftButton);
    QTest::mouseClick(&plain, Qt::LeftButton);
    EXPECT_EQ(taps, 1);
}

} // namespace
} // namespace faciward::helpers
