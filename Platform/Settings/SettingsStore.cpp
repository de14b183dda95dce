#include "SettingsStore.h"

#include "Platform/Settings/SettingsFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include <pwd.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

// The store whose update function is running on this thread, if any.
thread_local const SettingsStore *t_updating = nullptr;

void printLine(const std::string &line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
}

std::filesystem::path homeFolder()
{
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return std::filesystem::current_path();
}

bool identical(const SettingsStore::ValuePtr &a, const SettingsStore::ValuePtr &b)
{
    if (a == b)
        return true;
    return a && b && a->isIdentical(*b);
}

} // namespace

struct SettingsStore::ObserverEntry
{
    ObserverEntry(ObserverToken token, KeyValueObservingOptions options, Observer observer)
        : token(token)
        , options(options)
        , observer(std::move(observer))
    {
    }
    const ObserverToken token;
    const KeyValueObservingOptions options;
    const Observer observer;
    std::atomic<bool> active{true};

    void deliver(const KeyValueChange &change) const
    {
        if (active.load(std::memory_order_acquire) && observer)
            observer(change);
    }
};

SettingsStore::SettingsStore(std::filesystem::path file)
    : m_file(std::make_unique<SettingsFile>(std::move(file)))
{
}

SettingsStore::~SettingsStore() = default;

std::shared_ptr<SettingsStore> SettingsStore::standard()
{
    static const std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(standardFilePath());
    return store;
}

std::filesystem::path SettingsStore::standardFilePath()
{
    if (const char *file = std::getenv("FACIWARD_SETTINGS_FILE"); file && *file)
        return std::filesystem::absolute(file);
    std::filesystem::path config;
    // Relative values are to be ignored, as the XDG base directories say.
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        config = xdg;
    else
        config = homeFolder() / ".config";
    return config / "faciward" / "settings.json";
}

std::filesystem::path SettingsStore::filePath() const
{
    std::lock_guard lock(m_commitMutex);
    return m_file->path();
}

void SettingsStore::ensureLoaded() const
{
    if (m_loaded.load(std::memory_order_acquire))
        return;
    std::lock_guard lock(m_commitMutex);
    loadLocked();
}

void SettingsStore::loadLocked() const
{
    if (m_loaded.load(std::memory_order_relaxed))
        return;
    auto result = m_file->read();
    using Status = SettingsFile::ReadResult::Status;
    const std::string path = m_file->path().string();
    if (result.status == Status::setAside)
        printLine("faciward: the settings file " + path + " could not be read (" + result.problem +
                  "); it was moved to " + result.setAsidePath.string() + " and the settings start from their defaults");
    else if (result.status == Status::blocked)
        printLine("faciward: the settings file " + path + " could not be read (" + result.problem +
                  ") nor moved aside (" + result.moveProblem +
                  "); the settings start from their defaults and the file is left untouched");
    {
        std::unique_lock lock(m_dataMutex);
        m_values = std::move(result.values);
    }
    m_loaded.store(true, std::memory_order_release);
}

SettingsStore::ValuePtr SettingsStore::effectiveLocked(std::string_view key) const
{
    if (auto found = m_values.find(key); found != m_values.end())
        return found->second;
    if (auto found = m_defaults.find(key); found != m_defaults.end())
        return found->second;
    return nullptr;
}

SettingsStore::ValuePtr SettingsStore::objectSnapshot(std::string_view key) const
{
    ensureLoaded();
    std::shared_lock lock(m_dataMutex);
    return effectiveLocked(key);
}

std::optional<PlistValue> SettingsStore::object(std::string_view key) const
{
    if (auto value = objectSnapshot(key))
        return *value;
    return std::nullopt;
}

PlistDictionary SettingsStore::dictionaryRepresentation() const
{
    ensureLoaded();
    std::shared_lock lock(m_dataMutex);
    PlistDictionary result;
    for (const auto &[key, value] : m_defaults)
        result.insert_or_assign(key, *value);
    for (const auto &[key, value] : m_values)
        result.insert_or_assign(key, *value);
    return result;
}

bool SettingsStore::setObject(const std::string &key, std::optional<PlistValue> value)
{
    if (!value)
        return removeObject(key);
    auto shared = std::make_shared<const PlistValue>(std::move(*value));
    return commit(
        key, [&shared](const ValuePtr &, const ValuePtr &) -> std::optional<ValuePtr> { return shared; },
        Announce::always);
}

bool SettingsStore::removeObject(const std::string &key)
{
    return commit(
        key,
        [](const ValuePtr &stored, const ValuePtr &) -> std::optional<ValuePtr> {
            if (!stored)
                return std::nullopt; // nothing to remove, nothing to write
            return ValuePtr{};
        },
        Announce::ifStored);
}

bool SettingsStore::update(const std::string &key, const UpdateFunction &change)
{
    return commit(
        key,
        [&change](const ValuePtr &, const ValuePtr &effective) -> std::optional<ValuePtr> {
            auto result = change(effective ? std::optional<PlistValue>(*effective) : std::nullopt);
            if (!result)
                return ValuePtr{};
            return std::make_shared<const PlistValue>(std::move(*result));
        },
        Announce::always);
}

void SettingsStore::registerDefaults(const PlistDictionary &defaults)
{
    ensureLoaded();
    std::vector<Change> changes;
    {
        std::unique_lock lock(m_dataMutex);
        for (const auto &[key, value] : defaults) {
            auto shared = std::make_shared<const PlistValue>(value);
            const bool shadowed = m_values.contains(key);
            auto &slot = m_defaults[key];
            if (!shadowed && !identical(slot, shared))
                changes.push_back({key, slot, shared});
            slot = std::move(shared);
        }
    }
    notify(changes);
}

bool SettingsStore::refreshLocked(std::vector<Change> &changes)
{
    if (!m_file->changedOnDisk())
        return true;
    auto result = m_file->read();
    using Status = SettingsFile::ReadResult::Status;
    const std::string path = m_file->path().string();
    if (result.status == Status::setAside || result.status == Status::blocked) {
        // What is in memory is the last good state: keep it; the next write saves it anew.
        if (result.status == Status::setAside)
            printLine("faciward: the settings file " + path + " could not be read (" + result.problem +
                      "); it was moved to " + result.setAsidePath.string() + " and the settings in memory are kept");
        else
            printLine("faciward: the settings file " + path + " could not be read (" + result.problem +
                      ") nor moved aside (" + result.moveProblem + "); the settings in memory are kept");
        return false;
    }
    std::unique_lock lock(m_dataMutex);
    auto &incoming = result.values;
    const auto fallback = [this](const std::string &key) -> ValuePtr {
        auto found = m_defaults.find(key);
        return found == m_defaults.end() ? nullptr : found->second;
    };
    for (const auto &[key, value] : m_values) {
        auto found = incoming.find(key);
        ValuePtr now = found == incoming.end() ? fallback(key) : found->second;
        if (!identical(value, now))
            changes.push_back({key, value, now});
    }
    for (const auto &[key, value] : incoming)
        if (!m_values.contains(key) && !identical(fallback(key), value))
            changes.push_back({key, fallback(key), value});
    m_values = std::move(incoming);
    return true;
}

bool SettingsStore::reload()
{
    std::vector<Change> changes;
    bool ok = true;
    {
        std::lock_guard lock(m_commitMutex);
        if (!m_loaded.load(std::memory_order_relaxed))
            loadLocked();
        else
            ok = refreshLocked(changes);
    }
    notify(changes);
    return ok;
}

void SettingsStore::relocate(const std::filesystem::path &file)
{
    std::lock_guard lock(m_commitMutex);
    std::unique_lock data(m_dataMutex);
    m_file = std::make_unique<SettingsFile>(file);
    m_values.clear();
    m_loaded.store(false, std::memory_order_release);
}

bool SettingsStore::commit(const std::string &key, const Mutation &mutation, Announce announce)
{
    if (t_updating == this) {
        printLine("faciward: a settings update function wrote to the store it updates (key \"" + key +
                  "\"); this would deadlock");
        std::abort();
    }
    // Prior records go out before the write, with no lock held: an observer may
    // read or even write the store from there.
    if (!observersOf(key, observingPrior).empty()) {
        ensureLoaded();
        ValuePtr current;
        bool announces = true;
        {
            std::shared_lock data(m_dataMutex);
            if (announce == Announce::ifStored && !m_values.contains(key))
                announces = false;
            current = effectiveLocked(key);
        }
        if (announces)
            willChange(key, current);
    }
    std::vector<Change> changes;
    std::exception_ptr failure;
    bool ok = false;
    {
        std::lock_guard lock(m_commitMutex);
        loadLocked();
        std::string problem;
        std::optional<SettingsFile::Lock> fileLock;
        if (m_file->prepareDirectory(problem)) {
            fileLock.emplace(*m_file);
            if (!fileLock->acquired())
                problem = fileLock->problem();
        }
        if (fileLock && fileLock->acquired()) {
            refreshLocked(changes);
            ValuePtr stored;
            ValuePtr effective;
            {
                std::shared_lock data(m_dataMutex);
                if (auto found = m_values.find(key); found != m_values.end())
                    stored = found->second;
                effective = effectiveLocked(key);
            }
            std::optional<ValuePtr> outcome;
            try {
                t_updating = this;
                outcome = mutation(stored, effective);
                t_updating = nullptr;
            } catch (...) {
                t_updating = nullptr;
                failure = std::current_exception();
            }
            if (failure) {
                ok = false;
            } else if (!outcome) {
                ok = true;
            } else {
                Values candidate = m_values;
                if (*outcome)
                    candidate.insert_or_assign(key, *outcome);
                else
                    candidate.erase(key);
                ok = m_file->write(candidate, problem);
                if (ok) {
                    std::unique_lock data(m_dataMutex);
                    m_values = std::move(candidate);
                    changes.push_back({key, effective, effectiveLocked(key), true});
                }
            }
        }
        if (!ok && !failure)
            printLine("faciward: the setting \"" + key + "\" could not be saved to " + m_file->path().string() +
                      ": " + problem);
    }
    notify(changes);
    if (failure)
        std::rethrow_exception(failure);
    return ok;
}

void SettingsStore::notify(const std::vector<Change> &changes)
{
    for (const auto &change : changes) {
        if (!change.announced)
            willChange(change.key, change.oldValue);
        didChange(change.key, change.oldValue, change.newValue);
    }
}

SettingsStore::ObserverToken SettingsStore::addObserver(const std::string &key, KeyValueObservingOptions options,
                                                       Observer observer)
{
    // Loaded now, so that what the file holds at registration is the state later
    // changes are reported against, including the first reload's.
    ensureLoaded();
    std::shared_ptr<ObserverEntry> entry;
    {
        std::lock_guard lock(m_observerMutex);
        entry = std::make_shared<ObserverEntry>(++m_lastToken, options, std::move(observer));
        m_observers[key].push_back(entry);
        m_observerKeys.emplace(entry->token, key);
    }
    // Registered first, so that no change made meanwhile goes unreported.
    if (options & observingInitial) {
        KeyValueChange change;
        if (options & observingNew)
            change.newValue = objectSnapshot(key);
        entry->deliver(change);
    }
    return entry->token;
}

bool SettingsStore::removeObserver(ObserverToken token)
{
    std::shared_ptr<ObserverEntry> removed;
    {
        std::lock_guard lock(m_observerMutex);
        auto name = m_observerKeys.find(token);
        if (name == m_observerKeys.end())
            return false;
        if (auto list = m_observers.find(name->second); list != m_observers.end()) {
            auto &entries = list->second;
            auto found = std::find_if(entries.begin(), entries.end(),
                                      [token](const auto &entry) { return entry->token == token; });
            if (found != entries.end()) {
                removed = *found;
                entries.erase(found);
            }
            if (entries.empty())
                m_observers.erase(list);
        }
        m_observerKeys.erase(name);
    }
    if (removed)
        removed->active.store(false, std::memory_order_release);
    // The entry (and the function it holds) goes outside the lock: destroying a
    // function may release objects whose destructors use the store.
    return removed != nullptr;
}

std::size_t SettingsStore::observerCount(std::string_view key) const
{
    std::lock_guard lock(m_observerMutex);
    auto found = m_observers.find(key);
    return found == m_observers.end() ? 0 : found->second.size();
}

SettingsStore::ObserverList SettingsStore::observersOf(std::string_view key, KeyValueObservingOptions required) const
{
    ObserverList result;
    std::lock_guard lock(m_observerMutex);
    if (auto found = m_observers.find(key); found != m_observers.end())
        for (const auto &entry : found->second)
            if ((entry->options & required) == required)
                result.push_back(entry);
    return result;
}

void SettingsStore::willChange(const std::string &key, const ValuePtr &oldValue)
{
    for (const auto &entry : observersOf(key, observingPrior)) {
        KeyValueChange change;
        change.isPrior = true;
        if (entry->options & observingOld)
            change.oldValue = oldValue;
        entry->deliver(change);
    }
}

void SettingsStore::didChange(const std::string &key, const ValuePtr &oldValue, const ValuePtr &newValue)
{
    for (const auto &entry : observersOf(key, 0)) {
        KeyValueChange change;
        if (entry->options & observingOld)
            change.oldValue = oldValue;
        if (entry->options & observingNew)
            change.newValue = newValue;
        entry->deliver(change);
    }
}

} // namespace faciward::platform
