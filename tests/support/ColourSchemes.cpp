#include "ColourSchemes.h"

#include "tests/support/WidgetApplication.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPalette>
#include <QWidget>

#include <cstdlib>

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
    // Layouts wait for their requests in the event queue; a grab must not.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    widget.setPalette(darkPalette());
    grabWidget(widget, name + "-dark");
    widget.setPalette(lightPalette());
    return grabWidget(widget, name + "-light");
}

bool coloursNear(const QColor &a, const QColor &b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

QColor blendOver(const QColor &top, const QColor &bottom)
{
    const qreal a = top.alphaF();
    return QColor::fromRgbF(top.redF() * a + bottom.redF() * (1 - a), top.greenF() * a + bottom.greenF() * (1 - a),
                            top.blueF() * a + bottom.blueF() * (1 - a));
}

} // namespace faciward::testing
