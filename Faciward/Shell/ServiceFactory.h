#pragma once

#include "Faciward/Presence/Locking/ImageStoreService.h"
#include "Faciward/Presence/Locking/LocalAuthenticationService.h"
#include "Faciward/Presence/Locking/ServiceContext.h"

#include <memory>
#include <mutex>

namespace faciward::shell {

/// @brief Owns the shared service context and builds the services over it,
/// each once, on first use. Safe from any thread.
class ServiceFactory
{
public:
    /// @brief The application's factory, made on first use and kept for the whole run.
    static ServiceFactory &shared();

    /// @brief A factory with a new context of its own (its keychain not yet made).
    ServiceFactory();
    ServiceFactory(const ServiceFactory &) = delete;
    ServiceFactory &operator=(const ServiceFactory &) = delete;

    /// @brief The context every service of this factory holds.
    const std::shared_ptr<presence::ServiceContext> &serviceContext() const { return m_serviceContext; }

    /// @brief The picture store, made on first use; the same object on every call.
    std::shared_ptr<presence::ImageStoreService> imageStoreService();
    /// @brief The fingerprint service, made on first use; the same object on every call.
    std::shared_ptr<presence::LocalAuthenticationService> localAuthenticationService();

private:
    const std::shared_ptr<presence::ServiceContext> m_serviceContext;
    std::once_flag m_imageStoreOnce;
    std::shared_ptr<presence::ImageStoreService> m_imageStoreService;
    std::once_flag m_localAuthenticationOnce;
    std::shared_ptr<presence::LocalAuthenticationService> m_localAuthenticationService;
};

} // namespace faciward::shell
