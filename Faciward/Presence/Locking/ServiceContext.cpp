#include "ServiceContext.h"

namespace faciward::presence {

namespace {

std::shared_ptr<vault::Vault> applicationVault()
{
    // The identifier word is never empty, so nonEmpty() always gives one.
    return vault::Vault::vault(*vault::Identifier::nonEmpty("Faciward"), vault::Vault::Accessibility::whenUnlocked);
}

} // namespace

ServiceContext::ServiceContext()
    : ServiceContext(applicationVault)
{
}

ServiceContext::ServiceContext(VaultFactory makeVault)
    : m_makeVault(std::move(makeVault))
{
}

std::shared_ptr<Keychain> ServiceContext::keychain()
{
    std::call_once(m_once, [this] { m_keychain = std::make_shared<Keychain>(m_makeVault()); });
    return m_keychain;
}

} // namespace faciward::presence
