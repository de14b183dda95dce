#pragma once

#include "Vault/Identifier.h"

#include <memory>

namespace faciward::vault {

/// @brief The keychain wrapper for one service identifier and accessibility.
///
/// Only creation and caching exist so far: the items themselves are stored by
/// the authentication code built on top of it.
class Vault
{
public:
    /// @brief When the items of a vault may be read. The raw values are the
    /// stored form and must not change.
    enum class Accessibility : int {
        whenUnlocked = 1, ///< only while the user's session is unlocked
    };

    /// @brief The vault for @p identifier and @p accessibility: the one made for
    /// the same pair before, else a new local vault (kept on this machine, not
    /// shared with other applications). Never fails; safe from any thread.
    static std::shared_ptr<Vault> vault(const Identifier &identifier, Accessibility accessibility);

    const Identifier &identifier() const { return m_identifier; }
    Accessibility accessibility() const { return m_accessibility; }

    Vault(const Vault &) = delete;
    Vault &operator=(const Vault &) = delete;

private:
    Vault(Identifier identifier, Accessibility accessibility);

    const Identifier m_identifier;
    const Accessibility m_accessibility;
};

} // namespace faciward::vault
