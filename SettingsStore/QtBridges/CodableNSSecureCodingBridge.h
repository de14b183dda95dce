#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "SettingsStore/PrefsCodableBridge.h"
#include "SettingsStore/QtBridges/NSSecureCodingBridge.h"

namespace faciward::prefs {

/// @brief The bridge of objects that are codable as well as securely codable:
/// kept as their JSON text (see PrefsCodableBridge), as the store keeps every
/// codable value, rather than as a keyed archive. A type that prefers its
/// archive names NSSecureCodingBridge in its traits instead.
template<class T>
    requires SecureCodable<T> && platform::JsonCodable<T>
struct CodableNSSecureCodingBridge : PrefsCodableBridge<T>
{
};

} // namespace faciward::prefs
