#pragma once

#include "Platform/Settings/KeyValueChange.h"

namespace faciward::prefs {

/// @brief One raw change record of a key, as the store delivers it: the kind,
/// the indexes, whether it comes before the change, and the new and old values
/// in their stored forms (null when absent).
using BaseChange = platform::KeyValueChange;

} // namespace faciward::prefs
