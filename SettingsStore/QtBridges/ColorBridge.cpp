#include "ColorBridge.h"

#include <QtCore/QByteArray>
#include <QtCore/QIODevice>

#include <array>
#include <limits>

namespace faciward::prefs {

std::optional<QColor> SecureCoding<QColor>::decode(QDataStream &in)
{
    qint8 model = 0;
    std::array<quint16, 5> fields{}; // alpha, then the components; the hue first for HSV and HSL
    in >> model;
    for (quint16 &field : fields)
        in >> field;
    const quint16 hue = fields[1];
    // A hue counts hundredths of a degree; the largest value stands for "no hue".
    const bool hueValid = hue < 36000 || hue == std::numeric_limits<quint16>::max();
    switch (model) {
    case QColor::Hsv:
    case QColor::Hsl:
        if (!hueValid)
            return std::nullopt;
        break;
    case QColor::Invalid:
    case QColor::Rgb:
    case QColor::Cmyk:
    case QColor::ExtendedRgb: break;
    default: return std::nullopt;
    }
    QByteArray checked;
    {
        QDataStream out(&checked, QIODevice::WriteOnly);
        out.setVersion(in.version());
        out << model;
        for (quint16 field : fields)
            out << field;
    }
    QDataStream reread(checked);
    reread.setVersion(in.version());
    QColor colour;
    reread >> colour;
    return colour;
}

} // namespace faciward::prefs
