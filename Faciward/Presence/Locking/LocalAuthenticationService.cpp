#include "LocalAuthenticationService.h"

namespace faciward::presence {

LocalAuthenticationService::LocalAuthenticationService(std::shared_ptr<ServiceContext> serviceContext)
    : Service(std::move(serviceContext))
{
}

} // namespace faciward::presence
