#pragma once

#include "Platform/Settings/KeyValueChange.h"

#include <set>

namespace faciward::prefs {

/// @brief What an observation asks for besides the record after each change.
enum class ObservationOption {
    initial, ///< one record at once, carrying the current value
    prior,   ///< one record before each change as well
};

/// @brief A set of observation options.
using ObservationOptions = std::set<ObservationOption>;

/// @brief The store's observing options for @p options: new and old always;
/// with initial, the initial record and never the prior one (even when asked
/// for); otherwise prior records when asked for. So {} gives 3, {prior} 11,
/// {initial} 7 and {initial, prior} 7.
inline platform::KeyValueObservingOptions keyValueObservingOptions(const ObservationOptions &options)
{
    using namespace platform;
    if (options.contains(ObservationOption::initial))
        return observingNew | observingOld | observingInitial;
    KeyValueObservingOptions result = observingNew | observingOld;
    if (options.contains(ObservationOption::prior))
        result |= observingPrior;
    return result;
}

} // namespace faciward::prefs
