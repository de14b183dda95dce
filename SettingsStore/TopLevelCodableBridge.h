#pragma once

#include "SettingsStore/PrefsCodableBridge.h"

namespace faciward::prefs {

/// @brief The bridge of codable values: JSON text (see PrefsCodableBridge).
template<platform::JsonCodable V>
struct TopLevelCodableBridge : PrefsCodableBridge<V>
{
};

} // namespace faciward::prefs
