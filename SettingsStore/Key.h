#pragma once

#include "SettingsStore/AnyKey.h"
#include "SettingsStore/PrefsSerializable.h"

namespace faciward::prefs {

/// @brief A typed settings key: a name, a suite and a default value.
///
/// Creating a key registers its default, in its stored form, in the suite's
/// registration domain (volatile, never persisted), so that every reader of the
/// store sees it; an optional key whose default is empty registers nothing.
template<PrefsSerializable V>
class Key : public AnyKey
{
public:
    using Value = V;

    Key(std::string name, V defaultValue, std::shared_ptr<platform::SettingsStore> suite)
        : AnyKey(std::move(name), std::move(suite))
        , m_defaultValue(std::move(defaultValue))
    {
        if (isNil(m_defaultValue))
            return;
        if (auto stored = toSerializable(m_defaultValue))
            this->suite()->registerDefaults({{this->name(), std::move(*stored)}});
    }

    /// @brief A key whose default is the value that holds nothing (the empty
    /// optional, a type-erased value holding nothing): registers nothing, and
    /// reads that value while nothing is stored.
    Key(std::string name, std::shared_ptr<platform::SettingsStore> suite)
        requires NilRepresentable<V>
        : Key(std::move(name), V{}, std::move(suite))
    {
    }

    const V &defaultValue() const { return m_defaultValue; }

private:
    const V m_defaultValue;
};

} // namespace faciward::prefs
