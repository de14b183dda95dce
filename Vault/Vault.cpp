#include "Vault.h"

#include <map>
#include <mutex>
#include <utility>

namespace faciward::vault {

Vault::Vault(Identifier identifier, Accessibility accessibility)
    : m_identifier(std::move(identifier))
    , m_accessibility(accessibility)
{
}

std::shared_ptr<Vault> Vault::vault(const Identifier &identifier, Accessibility accessibility)
{
    // Vaults live for the whole run, so the cache holds them strongly: asking
    // twice for one service must give the object that already holds its state.
    static std::mutex mutex;
    static std::map<std::pair<Identifier, Accessibility>, std::shared_ptr<Vault>> cache;

    std::lock_guard lock(mutex);
    auto &slot = cache[{identifier, accessibility}];
    if (!slot)
        slot.reset(new Vault(identifier, accessibility));
    return slot;
}

} // namespace faciward::vault
