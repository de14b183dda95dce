#pragma once

#include "Faciward/Presence/Locking/Service.h"

namespace faciward::presence {

/// @brief The fingerprint service of the keychain and authentication code.
///
/// It keeps nothing of its own: what it works with (the keychain that holds the
/// PIN) it reaches through the shared context, so that it and the other
/// services see one keychain.
class LocalAuthenticationService : public Service
{
public:
    explicit LocalAuthenticationService(std::shared_ptr<ServiceContext> serviceContext);
};

} // namespace faciward::presence
