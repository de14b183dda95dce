#include "Faciward/Shell/ServiceFactory.h"

#include <gtest/gtest.h>

using faciward::shell::ServiceFactory;

TEST(ServiceFactory, buildsOnePictureStoreOverItsContext)
{
    ServiceFactory factory;
    auto store = factory.imageStoreService();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(factory.imageStoreService(), store);
    EXPECT_EQ(store->serviceContext(), factory.serviceContext());
    EXPECT_NE(ServiceFactory().serviceContext(), factory.serviceContext());
    EXPECT_EQ(&ServiceFactory::shared(), &ServiceFactory::shared());
    EXPECT_EQ(ServiceFactory::shared().imageStoreService(), ServiceFactory::shared().imageStoreService());
}
