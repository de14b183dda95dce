#include "Helpers/Views/AuthorizeAppView.h"
#include "Helpers/Core/Bundle.h"
#include "Helpers/Views/LozengeView.h"

#include "tests/support/ColourSchemes.h"
#include "tests/support/WidgetApplication.h"

#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

LozengeView *lozengeOf(QWidget *step)
{
    if (auto *withMark = qobject_cast<LozengeViewWithBottomDivider *>(step))
        return withMark->lozenge();
    return qobject_cast<LozengeView *>(step);
}

// The steps overlap by four pixels (a step's bottom includes its mark), only
// the first calls back, and the page scrolls when it is taller than the view.
TEST(AuthorizeAppView, stepsOverlapAndOnlyTheFirstCallsBack)
{
    testing::widgetApplication();
    int calls = 0;
    AuthorizeAppView view(new QLabel(QStringLiteral("icon")), [&] { ++calls; });
    view.resize(420, 300);
    testing::grabInBothSchemes(view, "authorize-app");
    testing::grabInBothSchemes(*view.widget(), "authorize-app-page");
    ASSERT_EQ(view.steps().size(), 5u);
    EXPECT_EQ(lozengeOf(view.steps().back())->lozengeText(),
              QStringLiteral("Check ") + Bundle::main().name.value_or(QString()));
    for (size_t i = 1; i < view.steps().size(); ++i) {
        const QRect above = view.steps()[i - 1]->geometry();
        EXPECT_EQ(view.steps()[i]->y(), above.y() + above.height() - AuthorizeAppView::stepOverlap) << i;
    }
    for (QWidget *step : view.steps())
        QTest::mouseClick(lozengeOf(step), Qt::LeftButton);
    EXPECT_EQ(calls, 1);
    EXPECT_GT(view.verticalScrollBar()->maximum(), 0);

    // In a tall window the spare room goes below the note, not between the parts.
    view.resize(420, 1400);
    testing::grabInBothSchemes(view, "authorize-app-tall");
    EXPECT_EQ(view.note()->y(), view.steps().back()->geometry().bottom() + 1 + AuthorizeAppView::spacing);
    EXPECT_FALSE(view.verticalScrollBar()->isVisibleTo(&view));
}

} // namespace
} // namespace faciward::helpers
