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

#if defined(__SANITIZE_THREAD__)
// Reports from inside third-party libraries that we cannot mend: OpenCV's
// image codecs register GDAL on first use, and GDAL takes its own two locks in
// both orders on that one thread.
extern "C" const char *__tsan_default_suppressions()
{
    return "deadlock:libgdal.so\n";
}
#endif
