#include "AnyKey.h"

#include <cstdio>
#include <cstdlib>

namespace faciward::prefs {

AnyKey::AnyKey(std::string name, std::shared_ptr<platform::SettingsStore> suite)
    : m_name(std::move(name))
    , m_suite(std::move(suite))
{
    if (!m_suite) {
        std::fprintf(stderr, "faciward: the settings key \"%s\" was created without a store\n", m_name.c_str());
        std::abort();
    }
}

AnyKey::~AnyKey() = default;

bool AnyKey::reset() const
{
    return m_suite->removeObject(m_name);
}

} // namespace faciward::prefs
