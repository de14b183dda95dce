#include "Faciward/Presence/Recognition/Similarity.h"

#include <gtest/gtest.h>

#include <cmath>

using faciward::presence::Similarity;
using faciward::presence::SimilarityMode;
using V = std::vector<double>;

TEST(Similarity, cosineEdgeCases)
{
    const Similarity s;
    EXPECT_EQ(s.score({3, 4}, {3, 4}), 1.0) << "exactly";
    EXPECT_NEAR(s.score({0.3, -2.5, 7}, {0.3, -2.5, 7}), 1.0, 1e-15);
    EXPECT_NEAR(s.score({0.3, -2.5, 7}, {-0.3, 2.5, -7}), -1.0, 1e-15);
    EXPECT_EQ(s.score({1, 0}, {0, 1}), 0.0);
    EXPECT_EQ(s.score({1, 2, 3}, {1, 2, 3, 4}), -1.0);
    EXPECT_EQ(s.score({}, {1, 2}), -1.0);
    EXPECT_EQ(s.score({1, 2}, {}), -1.0);
    EXPECT_EQ(s.score({}, {}), -1.0);
    EXPECT_TRUE(std::isnan(s.score({0, 0, 0}, {1, 2, 3})));
    EXPECT_TRUE(std::isnan(s.score({1, 2, 3}, {0, 0, 0})));
    EXPECT_EQ(s.score({1, 0}, {7, std::sqrt(51.0)}), 0.7);
}

TEST(Similarity, theActiveModeIsTheLastOneAndNoneRefusesEverything)
{
    Similarity s;
    s.currentSimMode = {};
    EXPECT_EQ(s.score({1, 2}, {1, 2}), -1.0);
    s.currentSimMode = {SimilarityMode::cosine, SimilarityMode::hamming};
    EXPECT_EQ(s.score({1, 2, 3}, {1, 5, 3}), 1.0);
    s.currentMismatchMode = {};
    EXPECT_EQ(s.score({1, 2}, {1, 2, 3}), -1.0) << "no mismatch mode counts as bail";
}

TEST(Similarity, rulesChangedByACallerAreRefusedRatherThanReadPastTheEnd)
{
    Similarity s;
    s.encforceEqualVectorSizes.clear();
    s.bailOnEmptyInput.clear();
    s.allowEmptyInputs = {SimilarityMode::cosine};
    EXPECT_EQ(s.score({1, 2, 3}, {1, 2}), -1.0);
    EXPECT_EQ(s.score({}, {}), -1.0);
    // b may be longer: the dot product walks a; each norm is of its whole vector.
    EXPECT_NEAR(s.score({1, 2}, {1, 2, 3}), 5 / (std::sqrt(5.0) * std::sqrt(14.0)), 1e-15);
}
