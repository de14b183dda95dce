#include "ColourSchemes.h"

#include "tests/support/WidgetApplication.h"

#include <QImage>
#include <QPalette>
#include <QWidget>

namespace faciward::testing {

namespace {

QPalette palette(QColor window, QColor text, QColor base, QColor link)
{
    QPalette result(text, window, window.lighter(), window.darker(), window.darker(130), text, text, base, window);
    result.setColor(QPalette::Link, link);
    result.setColor(QPalette::ButtonText, text);
    return result;
}

} // namespace

QPalette lightPalette()
{
    return palette(QColor(236, 236, 236), QColor(0, 0, 0), QColor(255, 255, 255), QColor(0, 102, 204));
}

QPalette darkPalette()
{
    return palette(QColor(40, 40, 40), QColor(235, 235, 235), QColor(30, 30, 30), QColor(88, 166, 255));
}

QImage grabInBothSchemes(QWidget &widget, const std::string &name)
{
    widget.setAutoFillBackground(true);
    widget.setPalette(darkPalette());
    grabWidget(widget, name + "-dark");
    widget.setPalette(lightPalette());
    return grabWidget(widget, name + "-light");
}

} // namespace faciward::testing
