#pragma once

#include "Platform/Settings/KeyValueChange.h"
#include "Platform/Settings/KeyValueObserverRegistry.h"
#include "Platform/Settings/PlistValue.h"
#include "Platform/Settings/SettingsFile.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace faciward::platform {

/// @brief The user-defaults store: named property-list values kept in a JSON
/// file, with a volatile domain of registered defaults underneath.
///
/// Reads answer from the application domain (what was written, persisted),
/// then from the registration domain (registerDefaults, never persisted). They
/// never touch the disk once the file is loaded (lazily, on first use).
///
/// Every change is persisted before it becomes visible and before the call
/// returns: the file is replaced atomically (AtomicFile) under a lock file
/// shared with other processes, and changes those processes made in the
/// meantime are merged in first, key by key. A file removed, or replaced by
/// something that cannot be read, while values are held keeps those values in
/// memory, which one line says. A change that cannot be
/// persisted is not applied at all, and the call returns false.
///
/// A file that does not parse when the store first reads it (after giving a
/// program that writes it in place a moment to finish) is copied to
/// "<name>.corrupt-<UTC time stamp>" and left where it is; the store starts from
/// its defaults, saying so in one line on standard error. A file that cannot be
/// read (not a regular file, a dangling link, no permission) or is of a newer
/// format is left untouched: the store runs on its defaults and never writes
/// over it.
///
/// Safe to use from any thread. Reads take a shared lock for a moment; writes
/// are serialised, and update() runs a read-modify-write of one key atomically.
///
/// Observers of a key (addObserver) hear of every write of the key and every
/// other change of its effective value, on the thread that made it, with no lock
/// of the store held, so they may read and write the store. A write of this
/// process announces itself to observers that asked for prior records before it
/// is made, and is reported after it is made. Changes taken in from the file (other processes' writes, found by
/// reload() or while writing) and newly registered defaults are already in place
/// when their prior record goes out; the after record follows at once. A change
/// that cannot be persisted gets its prior record but no after record.
class SettingsStore
{
public:
    /// @brief The value of one key as this store shares it: immutable, null when absent.
    using ValuePtr = std::shared_ptr<const PlistValue>;

    /// @brief A store over @p file. Nothing is read until first use.
    explicit SettingsStore(std::filesystem::path file);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    /// @brief The process's standard store, over standardFilePath() as it was
    /// when first called.
    static std::shared_ptr<SettingsStore> standard();

    /// @brief $FACIWARD_SETTINGS_FILE when set, else
    /// $XDG_CONFIG_HOME/faciward/settings.json, else ~/.config/faciward/settings.json.
    static std::filesystem::path standardFilePath();

    /// @brief The file the store keeps its values in.
    std::filesystem::path filePath() const;

    /// @brief The value of @p key: the application domain's, else the registered
    /// default, else nothing.
    std::optional<PlistValue> object(std::string_view key) const;

    /// @brief As object(), without copying the value.
    ValuePtr objectSnapshot(std::string_view key) const;

    /// @brief Stores @p value under @p key; nothing removes the entry.
    /// @return false when the change could not be persisted; the store is then unchanged.
    bool setObject(const std::string &key, std::optional<PlistValue> value);

    /// @brief Removes @p key from the application domain (a registered default shows again).
    /// @return false when the change could not be persisted; the store is then unchanged.
    bool removeObject(const std::string &key);

    /// @brief Adds (or replaces) entries of the volatile registration domain.
    void registerDefaults(const PlistDictionary &defaults);

    /// @brief Both domains merged, the application domain winning.
    PlistDictionary dictionaryRepresentation() const;

    /// @brief Function of an atomic update: given the current value of the key
    /// (as object() gives it), returns the value to store, or nothing to remove it.
    using UpdateFunction = std::function<std::optional<PlistValue>(std::optional<PlistValue>)>;

    /// @brief Atomic read-modify-write of @p key: no other change of the store,
    /// from this process or another, comes between the read and the write.
    /// @p change runs under the store's write lock, so it must not write to this
    /// store (doing so stops the program); it may throw, and then nothing is written
    /// and the exception reaches the caller.
    /// @return false when the result could not be persisted; the store is then unchanged.
    bool update(const std::string &key, const UpdateFunction &change);

    /// @brief Takes in what other processes wrote to the file since this store last
    /// read or wrote it.
    /// @return false when the file could not be read: it does not parse (another
    /// program may be writing it), is left alone, or was removed while values were
    /// held. The values in memory are then kept and the file is neither moved nor
    /// copied; call again a little later. The reason is one line on standard
    /// error: at once with @p reportProblems, else at the first later call with
    /// it, unless the file was read by then.
    bool reload(bool reportProblems = true);

    /// @brief Takes @p key only from a file that no other user can have written:
    /// from a file or folder that others may write, or that belongs to someone
    /// else, the key reads as its default (and is not written back), and one line
    /// says how to fix it. A file of this user's own that others may write is made 0600.
    void requireSafeFile(const std::string &key);

    /// @brief Says in one line, once per key and load of the file, that the
    /// stored value of @p key does not decode to its type. For typed readers.
    void reportUndecodable(std::string_view key) const;

    /// @brief Receives the change records of one key.
    using Observer = KeyValueObserverRegistry::Observer;
    /// @brief Names one registration of an observer; never 0.
    using ObserverToken = KeyValueObserverRegistry::Token;

    /// @brief Registers @p observer for the changes of @p key, as @p options ask
    /// (observingNew, observingOld, observingInitial, observingPrior). With
    /// observingInitial the observer gets one record, on this thread, before the
    /// call returns: the current value as the new value and no old value.
    /// Observers of one key are told in the order they were registered.
    [[nodiscard]] ObserverToken addObserver(const std::string &key, KeyValueObservingOptions options,
                                            Observer observer);

    /// @brief Ends the registration @p token. Idempotent; 0 and unknown tokens are
    /// ignored. A record that another thread is delivering at this moment may still
    /// reach the observer after the call returns.
    /// @return true when the registration was active until now.
    bool removeObserver(ObserverToken token);

    /// @brief How many observers are registered for @p key. Public for tests,
    /// which check that an observation ends its registration.
    std::size_t observerCount(std::string_view key) const;

    /// @brief Points the store at another file. The application domain is dropped
    /// from memory (neither file is touched) and the new file is read on next use;
    /// registered defaults stay. Public for tests, which point the process's
    /// standard store at a file of their own before use.
    void relocate(const std::filesystem::path &file);

    /// @brief Asked at each step of this store's writes (SettingsFile::WriteStep);
    /// true makes the write fail there. Kept across relocate(); an empty function
    /// removes it. Public for fault-injection tests: on a healthy disk nothing else
    /// makes a write fail between two chosen steps.
    void setWriteInterruption(SettingsFile::WriteInterruption interruption);

private:
    using Values = std::map<std::string, ValuePtr, std::less<>>;
    struct Change
    {
        std::string key;
        ValuePtr oldValue;
        ValuePtr newValue;
        bool announced = false; // its prior record went out before it was made
    };
    // How a write of one key announces itself to prior observers.
    enum class Announce { always, ifStored };
    // Given the stored and the effective value, the value to write (null removes),
    // or nothing to leave the store as it is.
    using Mutation = std::function<std::optional<ValuePtr>(const ValuePtr &stored, const ValuePtr &effective)>;

    void ensureLoaded() const;
    void loadLocked() const;
    // Whether a refresh is a reload (no waiting, the file left where it is) or precedes a write.
    enum class Refresh { reload, beforeWrite };
    bool refreshLocked(std::vector<Change> &changes, Refresh refresh, bool report);
    // Takes the safety of the file just read; drops the keys that need a safe file when it is not.
    void takeSafetyLocked(const std::string &unsafe) const;
    void printUnsafe(const std::string &names) const;
    bool hiddenLocked(std::string_view key) const;
    // A write of one key: prior records, then under the commit mutex the lock file,
    // the changes of other processes, the mutation and the file write, then the
    // after records.
    bool commit(const std::string &key, const Mutation &mutation, Announce announce);
    void announcePrior(const std::string &key, Announce announce);
    // Runs the mutation and writes its result. Returns the mutation's exception;
    // throws the file's failures.
    std::exception_ptr writeLocked(const std::string &key, const Mutation &mutation, std::vector<Change> &changes);
    ValuePtr effectiveLocked(std::string_view key) const;
    void notify(const std::vector<Change> &changes);

    mutable std::mutex m_commitMutex; // serialises loading, writing, reloading; guards m_file
    std::unique_ptr<SettingsFile> m_file;
    SettingsFile::WriteInterruption m_interruption; // guarded by m_commitMutex
    std::string m_unreported; // guarded by m_commitMutex: why the file was last not taken in, not yet said
    mutable std::atomic<bool> m_loaded{false};

    mutable std::shared_mutex m_dataMutex; // guards the two domains
    mutable Values m_values;
    Values m_defaults;

    KeyValueObserverRegistry m_observers;

    // Guarded by m_dataMutex.
    std::set<std::string, std::less<>> m_safeFileKeys;
    mutable std::string m_unsafe; // why the file last read is not safe; empty when it is

    mutable std::mutex m_reportMutex; // guards the two below
    mutable std::set<std::string, std::less<>> m_reportedUndecodable;
    mutable std::string m_reportPath;
};

} // namespace faciward::platform
