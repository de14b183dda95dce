#pragma once

#include "Vault/Vault.h"

#include <memory>

namespace faciward::presence {

/// @brief The application's keychain store; the PIN lives in its vault.
class Keychain
{
public:
    explicit Keychain(std::shared_ptr<vault::Vault> vault)
        : m_vault(std::move(vault))
    {
    }

    const std::shared_ptr<vault::Vault> &vault() const { return m_vault; }

private:
    const std::shared_ptr<vault::Vault> m_vault;
};

} // namespace faciward::presence
