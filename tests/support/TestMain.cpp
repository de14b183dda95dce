#include <gtest/gtest.h>

namespace faciward::testing {
void installStderrWatch();
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    faciward::testing::installStderrWatch();
    return RUN_ALL_TESTS();
}
