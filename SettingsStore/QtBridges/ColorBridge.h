#pragma once

#include "SettingsStore/QtBridges/NSSecureCodingBridge.h"

#include <QtGui/QColor>

namespace faciward::prefs {

/// @brief Colours are archived in Qt's documented stream form of QColor: the
/// colour model (qint8: RGB, HSV, CMYK, HSL, extended RGB), then alpha, three
/// components and a fourth or padding (quint16 each), so a colour reads back
/// equal, model, components and alpha, to the one written.
template<>
struct SecureCoding<QColor>
{
    static QString className() { return QStringLiteral("QColor"); }
    static void encode(QDataStream &out, const QColor &colour) { out << colour; }
    /// @brief Checks the colour model and the hue before Qt sees them: Qt takes
    /// any model number into its enumeration, and any hue.
    static std::optional<QColor> decode(QDataStream &in);
};

/// @brief The bridge of colours: a keyed archive of the QColor.
using ColorBridge = NSSecureCodingBridge<QColor>;

template<>
struct SerializableTraits<QColor> : BridgedSerializable<ColorBridge>
{
};

} // namespace faciward::prefs
