#include "Helpers/Views/SymbolView.h"

#include "tests/support/ColourSchemes.h"
#include "tests/support/WidgetApplication.h"

#include <QHBoxLayout>
#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

#include <memory>

namespace faciward::helpers {
namespace {

const char *const symbolNames[] = {"info.circle", "info.circle.fill", "exclamationmark.triangle", "xmark.circle.fill"};

// Every symbol the views use exists and is drawn in the text colour of the
// scheme; an unknown name, or one reaching for another resource, is invalid.
TEST(Symbol, eachIsDrawnInTheTextColour)
{
    testing::widgetApplication();
    QWidget row;
    auto *layout = new QHBoxLayout(&row);
    std::vector<SymbolView *> views;
    for (const char *name : symbolNames) {
        views.push_back(new SymbolView(QString::fromLatin1(name)));
        views.back()->setFixedSize(48, 48);
        layout->addWidget(views.back());
    }
    row.adjustSize();
    const QImage image = testing::grabInBothSchemes(row, "symbols");
    const QColor text = testing::lightPalette().color(QPalette::WindowText);
    for (SymbolView *view : views) {
        SCOPED_TRACE(view->symbol().name().toStdString());
        ASSERT_TRUE(view->symbol().isValid());
        int textPixels = 0;
        for (int y = 0; y < view->height(); ++y)
            for (int x = 0; x < view->width(); ++x)
                textPixels += image.pixelColor(view->geometry().topLeft() + QPoint(x, y)) == text;
        EXPECT_GT(textPixels, 48 * 48 / 20);
    }
    for (const char *name : {"no.such.symbol", "", "../symbols/info.circle"})
        EXPECT_FALSE(Symbol(QString::fromLatin1(name)).isValid()) << name;
}

} // namespace
} // namespace faciward::helpers
