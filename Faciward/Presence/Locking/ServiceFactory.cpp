#include "ServiceFactory.h"

namespace faciward::presence {

ServiceFactory &ServiceFactory::shared()
{
    static ServiceFactory factory;
    return factory;
}

ServiceFactory::ServiceFactory()
    : m_serviceContext(std::make_shared<ServiceContext>())
{
}

std::shared_ptr<ImageStoreService> ServiceFactory::imageStoreService()
{
    std::call_once(m_imageStoreOnce,
                   [this] { m_imageStoreService = std::make_shared<ImageStoreService>(m_serviceContext); });
    return m_imageStoreService;
}

} // namespace faciward::presence
