#pragma once

#include "ScreenLockSignals.h"

#include <memory>
#include <optional>
#include <string>

namespace faciward::platform {

/// @brief `ActiveChanged(bool)` of `org.freedesktop.ScreenSaver` and
/// `org.gnome.ScreenSaver`, from any sender and any object path, on the session bus.
///
/// Signals arrive through the Qt event loop of the thread that made the object
/// (the main thread). Without a bus the object is inert: it says so in one line
/// on standard error and never sends. Every report made after the constructor
/// returns is seen. Make it after the `QCoreApplication`.
///
/// The constructor also asks both screen savers for their state (`GetActive`),
/// waiting at most a second for the answers.
class DBusScreenLockSignals final : public ScreenLockSignals
{
public:
    /// @param busAddress the bus to listen on; nullopt for the session bus as Qt finds it.
    explicit DBusScreenLockSignals(std::optional<std::string> busAddress = std::nullopt);
    ~DBusScreenLockSignals() override;
    DBusScreenLockSignals(const DBusScreenLockSignals &) = delete;
    DBusScreenLockSignals &operator=(const DBusScreenLockSignals &) = delete;

    platform::Publisher<bool> activeChanged() const override;
    std::optional<bool> initialActive() const override;

    /// @brief False when there was no bus to listen on.
    bool isListening() const;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
