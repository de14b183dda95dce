#include "Platform/Vision/LeafSum.h"

#include <opencv2/core.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using faciward::platform::LeafSum;

// Every version this processor runs gives the points bit for bit as the leaves
// added one after the other in floats: the landmarks reference holds on any
// processor. Leaves of very different sizes, so that another order of the sums
// would round otherwise; none, one, and a cascade's 500; leaves one float off
// the vector boundary, as a leaf of 136 numbers after another lies.
TEST(LeafSum, everyVersionAddsTheLeavesInTurnToTheLastBit)
{
    constexpr std::size_t n = LeafSum::shapeSize;
    cv::RNG rng(20261207);
    for (const std::size_t count : {std::size_t(0), std::size_t(1), std::size_t(7), std::size_t(500)}) {
        std::vector<float> numbers(count * n + 1);
        for (float &x : numbers)
            x = float(rng.uniform(-1.0, 1.0) * std::pow(10.0, rng.uniform(-4, 4)));
        std::vector<const float *> leaves;
        for (std::size_t t = 0; t < count; ++t)
            leaves.push_back(numbers.data() + 1 + t * n);
        std::vector<float> start(n);
        for (float &x : start)
            x = float(rng.uniform(0.0, 1.0));

        std::vector<float> expected = start;
        for (const float *leaf : leaves) {
            for (std::size_t k = 0; k < n; ++k)
                expected[k] += leaf[k];
        }
        for (const auto &version : LeafSum::supported()) {
            std::vector<float> shape = start;
            version.function(shape.data(), leaves.data(), leaves.size());
            EXPECT_EQ(std::memcmp(shape.data(), expected.data(), n * sizeof(float)), 0)
                << version.name << ", " << count << " leaves";
        }
    }
}
