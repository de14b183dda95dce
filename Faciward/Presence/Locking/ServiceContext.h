#pragma once

#include "Faciward/Presence/Locking/Keychain.h"

#include <functional>
#include <memory>
#include <mutex>

namespace faciward::presence {

/// @brief What every service of the application shares: for now, the keychain.
class ServiceContext
{
public:
    /// @brief Makes the vault behind the keychain; called at most once.
    using VaultFactory = std::function<std::shared_ptr<vault::Vault>()>;

    /// @brief A context whose keychain uses the application's vault
    /// ("Faciward", readable while the session is unlocked).
    ServiceContext();
    /// @brief A context whose keychain uses the vault that @p makeVault returns.
    explicit ServiceContext(VaultFactory makeVault);
    ServiceContext(const ServiceContext &) = delete;
    ServiceContext &operator=(const ServiceContext &) = delete;

    /// @brief The keychain, made on first use; the same object on every call.
    /// Safe from any thread.
    std::shared_ptr<Keychain> keychain();

private:
    VaultFactory m_makeVault;
    std::once_flag m_once;
    std::shared_ptr<Keychain> m_keychain;
};

} // namespace faciward::presence
