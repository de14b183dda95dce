#pragma once

#include "Platform/Settings/KeyValueChange.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace faciward::platform {

/// @brief The observers of a SettingsStore's keys, and the delivery of change
/// records to them.
///
/// Safe to use from any thread. Records are delivered on the calling thread with
/// no lock of the registry held, so an observer may register, remove or trigger
/// further records from inside its call.
class KeyValueObserverRegistry
{
public:
    using ValuePtr = std::shared_ptr<const PlistValue>;
    /// @brief Receives the change records of one key.
    using Observer = std::function<void(const KeyValueChange &)>;
    /// @brief Names one registration of an observer; never 0.
    using Token = std::uint64_t;

    KeyValueObserverRegistry();
    ~KeyValueObserverRegistry();
    KeyValueObserverRegistry(const KeyValueObserverRegistry &) = delete;
    KeyValueObserverRegistry &operator=(const KeyValueObserverRegistry &) = delete;

    /// @brief Registers @p observer for @p key. With observingInitial in @p options it
    /// gets one record before the call returns, carrying @p current() as the new value
    /// when it asked for new values; registered first, so no change made meanwhile
    /// goes unreported.
    Token add(const std::string &key, KeyValueObservingOptions options, Observer observer,
              const std::function<ValuePtr()> &current);

    /// @brief Ends the registration @p token; 0 and unknown tokens are ignored.
    /// @return true when the registration was active until now.
    bool remove(Token token);

    /// @brief How many observers are registered for @p key.
    std::size_t count(std::string_view key) const;

    /// @brief True when an observer of @p key asked for prior records.
    bool wantsPrior(std::string_view key) const;

    /// @brief The prior records of a change of @p key, before it is made.
    void willChange(std::string_view key, const ValuePtr &oldValue) const;

    /// @brief The after records of a change of @p key's effective value.
    void didChange(std::string_view key, const ValuePtr &oldValue, const ValuePtr &newValue) const;

private:
    struct Entry;
    using EntryList = std::vector<std::shared_ptr<Entry>>;

    EntryList entriesOf(std::string_view key, KeyValueObservingOptions required) const;

    mutable std::mutex m_mutex;
    std::map<std::string, EntryList, std::less<>> m_entries;
    std::map<Token, std::string> m_keys;
    Token m_lastToken = 0;
};

} // namespace faciward::platform
