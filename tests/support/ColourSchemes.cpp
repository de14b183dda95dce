#include "ColourSchemes.h"

#include "tests/support/WidgetApplication.h"

#include <QApplication>
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
    // A widget that is not shown gets its pending resize only when rendered,
    // and the layouts and scroll bars answer it through the event queue: do
    // both before the grabs that count.
    widget.grab();
    QApplication::sendPostedEvents();
    // Set for the whole application, as a change of the desktop's scheme
    // would be; widgets hear of it through the event queue.
    QApplication::setPalette(darkPalette());
    QApplication::sendPostedEvents();
    grabWidget(widget, name + "-dark");
    QApplication::setPalette(lightPalette());
    QApplication::sendPostedEvents();
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
