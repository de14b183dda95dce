#include "SettingsStore.h"

#include "Platform/Files/FileError.h"
#include "Platform/Files/XdgFolders.h"
#include "Platform/Runtime/Diagnostics.h"
#include "Platform/Settings/JsonException.h"
#include "Platform/Settings/SettingsFile.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace faciward::platform {

namespace {

// The store whose update function is running on this thread, if any.
thread_local const SettingsStore *t_updating = nullptr;

void printLine(const std::string &line)
{
    Diagnostics::print(line);
}

bool identical(const SettingsStore::ValuePtr &a, const SettingsStore::ValuePtr &b)
{
    if (a == b)
        return true;
    return a && b && a->isIdentical(*b);
}

// What the store holds instead of a file it could not read.
enum class Fallback { defaults, memory };

std::string insteadText(Fallback fallback)
{
    return fallback == Fallback::defaults ? "the settings start from their defaults" : "the settings in memory are kept";
}

// The line that says @p file is left alone, as @p result says.
std::string leftAloneText(const SettingsFile &file, const SettingsFile::ReadResult &result, Fallback fallback)
{
    return "the settings file " + file.path().string() + " is left untouched (" + result.problem + "); " +
           insteadText(fallback) + " and are not saved to it";
}

// A file that does not parse, once it has settled, is copied aside and left
// in place; writes may replace it after that.
void copyCorruptAside(SettingsFile &file, const SettingsFile::ReadResult &result, Fallback fallback)
{
    std::string problem;
    const auto copy = file.copyAside(problem);
    printLine("the settings file " + file.path().string() + " does not parse (" + result.problem + "); " +
              (copy ? "a copy of it is at " + copy->string() + ", and "
                    : "it could not be copied aside (" + problem + ") and is left untouched, and ") +
              insteadText(fallback));
}

} // namespace

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
    // Without a home folder, the working folder stands in for it.
    const auto config = XdgFolders::configHome().value_or(std::filesystem::current_path() / ".config");
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
    auto result = m_file->readSettled();
    if (result.status == SettingsFile::ReadResult::Status::corrupt)
        copyCorruptAside(*m_file, result, Fallback::defaults);
    if (result.status == SettingsFile::ReadResult::Status::leftAlone)
        printLine(leftAloneText(*m_file, result, Fallback::defaults));
    {
        std::unique_lock lock(m_dataMutex);
        m_values = std::move(result.values);
        takeSafetyLocked(result.unsafe);
    }
    m_loaded.store(true, std::memory_order_release);
}

void SettingsStore::takeSafetyLocked(const std::string &unsafe) const
{
    m_unsafe = unsafe;
    {
        std::lock_guard report(m_reportMutex);
        m_reportedUndecodable.clear();
        m_reportPath = m_file->path().string();
    }
    if (unsafe.empty())
        return;
    std::string names;
    for (const auto &key : m_safeFileKeys)
        names += (names.empty() ? "\"" : ", \"") + key + "\"";
    if (!names.empty())
        printUnsafe(names);
}

void SettingsStore::printUnsafe(const std::string &names) const
{
    printLine("the settings file " + m_file->path().string() + " is not safe, so " + names +
              " is not taken from it: " + m_unsafe);
}

void SettingsStore::requireSafeFile(const std::string &key)
{
    ensureLoaded();
    std::lock_guard commit(m_commitMutex);
    std::unique_lock lock(m_dataMutex);
    if (!m_safeFileKeys.insert(key).second || m_unsafe.empty())
        return;
    printUnsafe("\"" + key + "\"");
}

void SettingsStore::reportUndecodable(std::string_view key) const
{
    std::string path;
    {
        std::lock_guard lock(m_reportMutex);
        if (!m_reportedUndecodable.emplace(key).second)
            return;
        path = m_reportPath;
    }
    printLine("the setting \"" + std::string(key) + "\" in " + path +
              " does not hold a value of its type; its default is used");
}

bool SettingsStore::hiddenLocked(std::string_view key) const
{
    // Kept, and written back as it was, but not believed: whoever wrote it.
    return !m_unsafe.empty() && m_safeFileKeys.contains(key);
}

SettingsStore::ValuePtr SettingsStore::effectiveLocked(std::string_view key) const
{
    if (auto found = m_values.find(key); found != m_values.end() && !hiddenLocked(key))
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
        if (!hiddenLocked(key))
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

bool SettingsStore::refreshLocked(std::vector<Change> &changes, Refresh refresh, bool report)
{
    // The reason the last look at the file found nothing to take in, said once:
    // at once when asked to report, else on the first call that reports while
    // the file stays as it was (a reload tried again is no reason for silence).
    const auto unread = [&](std::string line) {
        if (report)
            printLine(line), line.clear();
        m_unreported = std::move(line);
        return false;
    };
    if (!m_file->changedOnDisk() && !(refresh == Refresh::beforeWrite && m_file->awaitsCopy())) {
        if (m_unreported.empty())
            return true;
        return unread(std::move(m_unreported));
    }
    m_unreported.clear();
    using Status = SettingsFile::ReadResult::Status;
    // Before a write, a file another program is writing in place is given time
    // to settle, so that the write takes in what it wrote rather than replace it.
    auto result = refresh == Refresh::beforeWrite ? m_file->readSettled() : m_file->read();
    // What is in memory is the last good state: keep it. A reload leaves the
    // file where it is, for a later reload to read once it settles.
    if (result.status == Status::corrupt) {
        if (refresh == Refresh::beforeWrite) {
            copyCorruptAside(*m_file, result, Fallback::memory);
            return false;
        }
        return unread("the settings file " + m_file->path().string() + " does not parse (" + result.problem +
                      "); the settings in memory are kept");
    }
    if (result.status == Status::leftAlone)
        return unread(leftAloneText(*m_file, result, Fallback::memory));
    // A file removed under a running program does not take its settings with it.
    if (result.status == Status::missing && !m_values.empty())
        return unread("the settings file " + m_file->path().string() +
                      " was removed; the settings in memory are kept, and saved to it at the next change");
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
    takeSafetyLocked(result.unsafe);
    return true;
}

bool SettingsStore::reload(bool reportProblems)
{
    std::vector<Change> changes;
    bool ok = true;
    {
        std::lock_guard lock(m_commitMutex);
        if (!m_loaded.load(std::memory_order_relaxed))
            loadLocked();
        else
            ok = refreshLocked(changes, Refresh::reload, reportProblems);
    }
    notify(changes);
    return ok;
}

void SettingsStore::relocate(const std::filesystem::path &file)
{
    std::lock_guard lock(m_commitMutex);
    std::unique_lock data(m_dataMutex);
    m_file = std::make_unique<SettingsFile>(file);
    m_file->setWriteInterruption(m_interruption);
    m_values.clear();
    m_unreported.clear();
    m_loaded.store(false, std::memory_order_release);
}

bool SettingsStore::commit(const std::string &key, const Mutation &mutation, Announce announce)
{
    if (t_updating == this) {
        printLine("a settings update function wrote to the store it updates (key \"" + key +
                  "\"); this would deadlock");
        std::abort();
    }
    announcePrior(key, announce);
    std::vector<Change> changes;
    std::exception_ptr failure; // the mutation's
    bool ok = false;
    {
        std::lock_guard lock(m_commitMutex);
        loadLocked();
        std::string problem;
        try {
            m_file->prepareDirectory();
            const SettingsFile::Lock fileLock(*m_file);
            refreshLocked(changes, Refresh::beforeWrite, true);
            failure = writeLocked(key, mutation, changes);
            ok = !failure;
        } catch (const FileException &e) {
            problem = e.what();
        } catch (const JsonException &e) {
            problem = e.what();
        }
        if (!ok && !failure)
            printLine("the setting \"" + key + "\" could not be saved to " + m_file->path().string() +
                      ": " + problem);
    }
    notify(changes);
    if (failure)
        std::rethrow_exception(failure);
    return ok;
}

void SettingsStore::announcePrior(const std::string &key, Announce announce)
{
    // Prior records go out before the write, with no lock held: an observer may
    // read or even write the store from there.
    if (!m_observers.wantsPrior(key))
        return;
    ensureLoaded();
    ValuePtr current;
    {
        std::shared_lock data(m_dataMutex);
        if (announce == Announce::ifStored && !m_values.contains(key))
            return;
        current = effectiveLocked(key);
    }
    m_observers.willChange(key, current);
}

std::exception_ptr SettingsStore::writeLocked(const std::string &key, const Mutation &mutation,
                                              std::vector<Change> &changes)
{
    ValuePtr stored;
    ValuePtr effective;
    {
        std::shared_lock data(m_dataMutex);
        if (auto found = m_values.find(key); found != m_values.end())
            stored = found->second;
        effective = effectiveLocked(key);
    }
    std::optional<ValuePtr> wanted;
    try {
        t_updating = this;
        wanted = mutation(stored, effective);
        t_updating = nullptr;
    } catch (...) {
        t_updating = nullptr;
        return std::current_exception();
    }
    if (!wanted)
        return nullptr;
    Values candidate = m_values;
    if (*wanted)
        candidate.insert_or_assign(key, *wanted);
    else
        candidate.erase(key);
    m_file->write(candidate);
    std::unique_lock data(m_dataMutex);
    m_values = std::move(candidate);
    changes.push_back({key, effective, effectiveLocked(key), true});
    return nullptr;
}

void SettingsStore::notify(const std::vector<Change> &changes)
{
    for (const auto &change : changes) {
        if (!change.announced)
            m_observers.willChange(change.key, change.oldValue);
        m_observers.didChange(change.key, change.oldValue, change.newValue);
    }
}

SettingsStore::ObserverToken SettingsStore::addObserver(const std::string &key, KeyValueObservingOptions options,
                                                       Observer observer)
{
    // Loaded now, so that what the file holds at registration is the state later
    // changes are reported against, including the first reload's.
    ensureLoaded();
    return m_observers.add(key, options, std::move(observer), [this, &key] { return objectSnapshot(key); });
}

bool SettingsStore::removeObserver(ObserverToken token)
{
    return m_observers.remove(token);
}

void SettingsStore::setWriteInterruption(SettingsFile::WriteInterruption interruption)
{
    std::lock_guard lock(m_commitMutex);
    m_interruption = std::move(interruption);
    m_file->setWriteInterruption(m_interruption);
}

std::size_t SettingsStore::observerCount(std::string_view key) const
{
    return m_observers.count(key);
}

} // namespace faciward::platform
