#include "ServiceFactory.h"

namespace faciward::shell {

ServiceFactory &ServiceFactory::shared()
{
    static ServiceFactory factory;
    return factory;
}

ServiceFactory::ServiceFactory()
    : m_serviceContext(std::make_shared<presence::ServiceContext>())
{
}

std::shared_ptr<presence::ImageStoreService> ServiceFactory::imageStoreService()
{
    std::call_once(m_imageStoreOnce, [this] {
        m_imageStoreService = std::make_shared<presence::ImageStoreService>(m_serviceContext);
    });
    return m_imageStoreService;
}

std::shared_ptr<presence::LocalAuthenticationService> ServiceFactory::localAuthenticationService()
{
    std::call_once(m_localAuthenticationOnce, [this] {
        m_localAuthenticationService = std::make_shared<presence::LocalAuthenticationService>(m_serviceContext);
    });
    return m_localAuthenticationService;
}

} // namespace faciward::shell
