#pragma once

#include "Platform/Reactive/Scheduler.h"

#include <memory>

namespace faciward::platform {

class SettingsStore;

/// @brief Takes in what other processes write to a settings store's file as soon
/// as it lands, so that the store's observers hear of it.
///
/// Watches the file and its folder with the Qt event loop of the thread that
/// creates the watcher (the main thread: create and destroy it there, with a
/// QCoreApplication in place). The folder matters because the file is replaced,
/// not rewritten: a watch on the old file ends with its first replacement. When
/// the folder does not exist yet, its nearest existing ancestor is watched until
/// it appears.
///
/// Each event has @p scheduler run SettingsStore::reload() on its own thread; the
/// observers of the keys whose values changed are then told there, in the order
/// the store reports. A burst of events (one replacement touches the folder
/// several times, and this process's own writes do too) becomes one reload, and a
/// reload that finds the file as the store last saw it tells nobody anything.
///
/// Follows the file the store had when the watcher was made, by the bytes of its
/// name, whatever their encoding.
class SettingsFileWatcher
{
public:
    /// @brief Starts watching @p store's file. @p scheduler must outlive the watcher.
    SettingsFileWatcher(std::shared_ptr<SettingsStore> store, platform::Scheduler &scheduler);
    ~SettingsFileWatcher();
    SettingsFileWatcher(const SettingsFileWatcher &) = delete;
    SettingsFileWatcher &operator=(const SettingsFileWatcher &) = delete;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
