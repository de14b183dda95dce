#pragma once

#include "FileStore/StorageKey.h"

#include <utility>

namespace faciward::storage {

/// @brief A storage key that is just its two values.
class DefaultStorageKey final : public StorageKey
{
public:
    /// @brief A key in the default folder ("standard").
    explicit DefaultStorageKey(std::string key, std::optional<std::string> folder = std::nullopt)
        : m_key(std::move(key))
        , m_folder(std::move(folder))
    {
    }

    std::string key() const override { return m_key; }
    std::optional<std::string> folder() const override { return m_folder; }

    void setKey(std::string key) { m_key = std::move(key); }
    void setFolder(std::optional<std::string> folder) { m_folder = std::move(folder); }

private:
    std::string m_key;
    std::optional<std::string> m_folder;
};

} // namespace faciward::storage
