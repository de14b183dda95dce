#include "Faciward/Shell/ServiceFactory.h"
#include "tests/support/RunTogether.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using faciward::presence::Service;
using faciward::shell::ServiceFactory;

namespace {

// Each lazily built service of the factory, read as a plain Service.
struct Getter
{
    const char *name;
    std::function<std::shared_ptr<Service>(ServiceFactory &)> get;
};

const Getter getters[] = {
    {"imageStoreService", [](ServiceFactory &f) -> std::shared_ptr<Service> { return f.imageStoreService(); }},
    {"localAuthenticationService",
     [](ServiceFactory &f) -> std::shared_ptr<Service> { return f.localAuthenticationService(); }},
};

} // namespace

TEST(ServiceFactory, eachServiceIsMadeOnceOverTheFactorysContextEvenWhenFirstAskedForTogether)
{
    for (const auto &getter : getters) {
        SCOPED_TRACE(getter.name);
        ServiceFactory factory;
        constexpr int threads = 6;
        std::vector<std::shared_ptr<Service>> seen(threads);
        faciward::testing::runTogether(threads, [&](int i) { seen[i] = getter.get(factory); });
        ASSERT_NE(seen.front(), nullptr);
        for (const auto &service : seen)
            EXPECT_EQ(service, seen.front());
        EXPECT_EQ(getter.get(factory), seen.front());
        EXPECT_EQ(seen.front()->serviceContext(), factory.serviceContext());
        // Another factory has a context, and services, of its own.
        ServiceFactory other;
        EXPECT_NE(getter.get(other), seen.front());
        EXPECT_NE(getter.get(other)->serviceContext(), factory.serviceContext());
    }
}
