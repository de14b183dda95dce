#pragma once

#include "SettingsStore/QtBridges/NSSecureCodingBridge.h"

#include <QtGui/QColor>

namespace faciward::prefs {

/// @brief Colours are archived with Qt's own stream form of QColor, which keeps
/// the colour spec (RGB, HSV, CMYK, HSL, extended RGB) and the exact 16-bit
/// components and alpha, so a colour reads back equal to the one written.
template<>
struct SecureCoding<QColor>
{
    static QString className() { return QStringLiteral("QColor"); }
    static void encode(QDataStream &out, const QColor &colour) { out << colour; }
    static std::optional<QColor> decode(QDataStream &in)
    {
        QColor colour;
        in >> colour;
        // The stream form carries the spec as a bare number and the hue as a bare
        // 16-bit count; refuse what no colour could have written.
        switch (colour.spec()) {
        case QColor::Hsv: return colour.hsvHue() < 360 ? std::optional(colour) : std::nullopt;
        case QColor::Hsl: return colour.hslHue() < 360 ? std::optional(colour) : std::nullopt;
        case QColor::Invalid:
        case QColor::Rgb:
        case QColor::Cmyk:
        case QColor::ExtendedRgb: return colour;
        }
        return std::nullopt;
    }
};

/// @brief The bridge of colours: a keyed archive of the QColor.
using ColorBridge = NSSecureCodingBridge<QColor>;

template<>
struct SerializableTraits<QColor> : BridgedSerializable<ColorBridge>
{
};

} // namespace faciward::prefs
