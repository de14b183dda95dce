#pragma once

#include "Faciward/Settings/DisableTime.h"
#include "Faciward/Settings/FacePrecision.h"
#include "Faciward/Settings/ImageItem.h"
#include "SettingsStore/Key.h"

#include <cstdint>
#include <optional>
#include <vector>

/// @brief The application's settings keys, all in the standard store. Each is
/// created on first use, once, safely from any thread; creating it registers its
/// default in the store.
namespace faciward::settings::Keys {

/// @brief "discreteMode": no count-down popup before locking. Default true.
const prefs::Key<bool> &discreteMode();
/// @brief "facePrecision": face accuracy, as JSON text. Default low ({"low":{}}).
const prefs::Key<FacePrecision> &facePrecision();
/// @brief "storedImages": the picture history, an array of item JSON texts. Default empty.
const prefs::Key<std::vector<ImageItem>> &storedImages();
/// @brief "inactivityTime": seconds of idle input before a check. Default 6.
const prefs::Key<std::int64_t> &inactivityTime();
/// @brief "locksComputerAfterRate": seconds of the lock count-down. Default 8.
const prefs::Key<std::int64_t> &locksComputerAfterRate();
/// @brief "startsTrackingAfterUnlockingRate": seconds of the restart count-down. Default 8.
const prefs::Key<std::int64_t> &startsTrackingAfterUnlockingRate();
/// @brief "takePictureWhenLockingScreen". Default false.
const prefs::Key<bool> &takePictureWhenLockingScreen();
/// @brief "onboardingSeen.2". Default false.
const prefs::Key<bool> &onboardingSeen();
/// @brief "embeddings": the enrolled face embeddings, nested arrays of numbers. Default empty.
const prefs::Key<std::vector<std::vector<double>>> &embeddings();
/// @brief "isBiometricEnabled". Default false.
const prefs::Key<bool> &isBiometricEnabled();
/// @brief "disabled": tracking is not started. Default false.
const prefs::Key<bool> &disabled();
/// @brief "removeCurtainWhenUnlocked". Default false.
const prefs::Key<bool> &removeCurtainWhenUnlocked();
/// @brief "runScreenSaver". Default false.
const prefs::Key<bool> &runScreenSaver();
/// @brief "DisableTime": the disable period in force, as JSON text; no entry while
/// there is none. Default empty; registers nothing.
const prefs::Key<std::optional<DisableTime>> &disableTime();

} // namespace faciward::settings::Keys
