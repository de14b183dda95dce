#pragma once

#include "Faciward/Presence/Locking/ServiceContext.h"

#include <memory>

namespace faciward::presence {

/// @brief Base of the application's services: each holds the shared context.
class Service
{
public:
    explicit Service(std::shared_ptr<ServiceContext> serviceContext)
        : m_serviceContext(std::move(serviceContext))
    {
    }
    virtual ~Service() = default;
    Service(const Service &) = delete;
    Service &operator=(const Service &) = delete;

    const std::shared_ptr<ServiceContext> &serviceContext() const { return m_serviceContext; }

private:
    const std::shared_ptr<ServiceContext> m_serviceContext;
};

} // namespace faciward::presence
