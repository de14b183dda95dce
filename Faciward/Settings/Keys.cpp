#include "Keys.h"

#include "Platform/Settings/SettingsStore.h"

#include <memory>

namespace faciward::settings::Keys {

namespace {

using platform::SettingsStore;

template<class V>
std::unique_ptr<const prefs::Key<V>> makeKey(const char *name, V defaultValue)
{
    return std::make_unique<const prefs::Key<V>>(name, std::move(defaultValue), SettingsStore::standard());
}

std::unique_ptr<const prefs::Key<bool>> boolKey(const char *name, bool defaultValue = false)
{
    return makeKey<bool>(name, defaultValue);
}

// The two count-downs, both 8 seconds unless changed.
std::unique_ptr<const prefs::Key<std::int64_t>> rateKey(const char *name)
{
    return makeKey<std::int64_t>(name, 8);
}

template<class T>
std::unique_ptr<const prefs::Key<std::vector<T>>> listKey(const char *name)
{
    return makeKey<std::vector<T>>(name, {});
}

} // namespace

// Function-local statics: created on first use, once, thread-safely.

const prefs::Key<bool> &discreteMode()
{
    static const auto key = boolKey("discreteMode", true);
    return *key;
}

const prefs::Key<FacePrecision> &facePrecision()
{
    static const auto key = makeKey<FacePrecision>("facePrecision", FacePrecision::low);
    return *key;
}

const prefs::Key<std::vector<ImageItem>> &storedImages()
{
    static const auto key = listKey<ImageItem>("storedImages");
    return *key;
}

const prefs::Key<std::int64_t> &inactivityTime()
{
    static const auto key = makeKey<std::int64_t>("inactivityTime", 6);
    return *key;
}

const prefs::Key<std::int64_t> &locksComputerAfterRate()
{
    static const auto key = rateKey("locksComputerAfterRate");
    return *key;
}

const prefs::Key<std::int64_t> &startsTrackingAfterUnlockingRate()
{
    static const auto key = rateKey("startsTrackingAfterUnlockingRate");
    return *key;
}

const prefs::Key<bool> &takePictureWhenLockingScreen()
{
    static const auto key = boolKey("takePictureWhenLockingScreen");
    return *key;
}

const prefs::Key<bool> &onboardingSeen()
{
    static const auto key = boolKey("onboardingSeen.2");
    return *key;
}

const prefs::Key<std::vector<std::vector<double>>> &embeddings()
{
    // Whoever can write them is the owner: only from a file no one else can write.
    static const auto key = [] {
        auto made = listKey<std::vector<double>>("embeddings");
        made->suite()->requireSafeFile(made->name());
        return made;
    }();
    return *key;
}

const prefs::Key<bool> &isBiometricEnabled()
{
    static const auto key = boolKey("isBiometricEnabled");
    return *key;
}

const prefs::Key<bool> &disabled()
{
    static const auto key = boolKey("disabled", false);
    return *key;
}

const prefs::Key<bool> &removeCurtainWhenUnlocked()
{
    static const auto key = boolKey("removeCurtainWhenUnlocked");
    return *key;
}

const prefs::Key<bool> &runScreenSaver()
{
    static const auto key = boolKey("runScreenSaver", false);
    return *key;
}

const prefs::Key<std::optional<DisableTime>> &disableTime()
{
    static const auto key =
        std::make_unique<const prefs::Key<std::optional<DisableTime>>>("DisableTime", SettingsStore::standard());
    return *key;
}

} // namespace faciward::settings::Keys
