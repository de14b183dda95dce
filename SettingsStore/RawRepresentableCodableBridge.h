#pragma once

#include "SettingsStore/PrefsCodableBridge.h"
#include "SettingsStore/RawRepresentable.h"

namespace faciward::prefs {

/// @brief The bridge of raw-representable codable values: the JSON text of the
/// value, whose coded form is its raw value.
template<class V>
    requires RawRepresentable<V> && platform::JsonCodable<V>
struct RawRepresentableCodableBridge : PrefsCodableBridge<V>
{
};

} // namespace faciward::prefs
