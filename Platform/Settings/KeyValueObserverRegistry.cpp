#include "KeyValueObserverRegistry.h"

#include <algorithm>
#include <atomic>

namespace faciward::platform {

struct KeyValueObserverRegistry::Entry
{
    Entry(Token token, KeyValueObservingOptions options, Observer observer)
        : token(token)
        , options(options)
        , observer(std::move(observer))
    {
    }
    const Token token;
    const KeyValueObservingOptions options;
    const Observer observer;
    std::atomic<bool> active{true};

    void deliver(const KeyValueChange &change) const
    {
        if (active.load(std::memory_order_acquire) && observer)
            observer(change);
    }
};

KeyValueObserverRegistry::KeyValueObserverRegistry() = default;
KeyValueObserverRegistry::~KeyValueObserverRegistry() = default;

KeyValueObserverRegistry::Token KeyValueObserverRegistry::add(const std::string &key,
                                                              KeyValueObservingOptions options, Observer observer,
                                                              const std::function<ValuePtr()> &current)
{
    std::shared_ptr<Entry> entry;
    {
        std::lock_guard lock(m_mutex);
        entry = std::make_shared<Entry>(++m_lastToken, options, std::move(observer));
        m_entries[key].push_back(entry);
        m_keys.emplace(entry->token, key);
    }
    if (options & observingInitial) {
        KeyValueChange change;
        if (options & observingNew)
            change.newValue = current();
        entry->deliver(change);
    }
    return entry->token;
}

bool KeyValueObserverRegistry::remove(Token token)
{
    std::shared_ptr<Entry> removed;
    {
        std::lock_guard lock(m_mutex);
        auto name = m_keys.find(token);
        if (name == m_keys.end())
            return false;
        if (auto list = m_entries.find(name->second); list != m_entries.end()) {
            auto &entries = list->second;
            auto found = std::find_if(entries.begin(), entries.end(),
                                      [token](const auto &entry) { return entry->token == token; });
            if (found != entries.end()) {
                removed = *found;
                entries.erase(found);
            }
            if (entries.empty())
                m_entries.erase(list);
        }
        m_keys.erase(name);
    }
    if (removed)
        removed->active.store(false, std::memory_order_release);
    // The entry (and the function it holds) goes outside the lock: destroying a
    // function may release objects whose destructors use the store.
    return removed != nullptr;
}

std::size_t KeyValueObserverRegistry::count(std::string_view key) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_entries.find(key);
    return found == m_entries.end() ? 0 : found->second.size();
}

bool KeyValueObserverRegistry::wantsPrior(std::string_view key) const
{
    return !entriesOf(key, observingPrior).empty();
}

KeyValueObserverRegistry::EntryList KeyValueObserverRegistry::entriesOf(std::string_view key,
                                                                        KeyValueObservingOptions required) const
{
    EntryList result;
    std::lock_guard lock(m_mutex);
    if (auto found = m_entries.find(key); found != m_entries.end())
        for (const auto &entry : found->second)
            if ((entry->options & required) == required)
                result.push_back(entry);
    return result;
}

void KeyValueObserverRegistry::willChange(std::string_view key, const ValuePtr &oldValue) const
{
    for (const auto &entry : entriesOf(key, observingPrior)) {
        KeyValueChange change;
        change.isPrior = true;
        if (entry->options & observingOld)
            change.oldValue = oldValue;
        entry->deliver(change);
    }
}

void KeyValueObserverRegistry::didChange(std::string_view key, const ValuePtr &oldValue,
                                         const ValuePtr &newValue) const
{
    for (const auto &entry : entriesOf(key, 0)) {
        KeyValueChange change;
        if (entry->options & observingOld)
            change.oldValue = oldValue;
        if (entry->options & observingNew)
            change.newValue = newValue;
        entry->deliver(change);
    }
}

} // namespace faciward::platform
