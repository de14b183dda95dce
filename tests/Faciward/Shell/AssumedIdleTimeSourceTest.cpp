#include "Faciward/Shell/AssumedIdleTimeSource.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using faciward::shell::AssumedIdleTimeSource;
using faciward::testing::VirtualScheduler;

TEST(AssumedIdleTimeSource, theDevicesCountAsUntouchedSinceItWasMade)
{
    VirtualScheduler clock;
    clock.advanceBy(100.0);
    AssumedIdleTimeSource source(clock);
    EXPECT_TRUE(source.isAvailable());
    EXPECT_EQ(source.idleTime(), AssumedIdleTimeSource::Seconds(0));
    clock.advanceBy(6.5);
    EXPECT_EQ(source.idleTime(), AssumedIdleTimeSource::Seconds(6.5));
    EXPECT_FALSE(source.name().empty());
}
