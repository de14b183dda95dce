#include "Faciward/Presence/Recognition/Similarity.h"

#include <gtest/gtest.h>

#include <cmath>

using faciward::presence::Similarity;
using faciward::presence::SimilarityMode;
using faciward::presence::VectorSizeMismatchMode;
using V = std::vector<double>;

namespace {

Similarity with(SimilarityMode mode, VectorSizeMismatchMode mismatch = VectorSizeMismatchMode::bail)
{
    Similarity s;
    s.currentSimMode = {mode};
    s.currentMismatchMode = {mismatch};
    return s;
}

} // namespace

TEST(Similarity, aNewInstanceIsCosineThatBailsOnMismatch)
{
    const Similarity s;
    EXPECT_EQ(s.currentSimMode, std::vector{SimilarityMode::cosine});
    EXPECT_EQ(s.currentMismatchMode, std::vector{VectorSizeMismatchMode::bail});
    EXPECT_EQ(s.encforceEqualVectorSizes,
              (std::set{SimilarityMode::cosine, SimilarityMode::tanimoto, SimilarityMode::hamming}));
    EXPECT_EQ(s.bailOnEmptyInput, (std::set{SimilarityMode::cosine, SimilarityMode::tanimoto, SimilarityMode::ochiai}));
    EXPECT_EQ(s.allowEmptyInputs, std::set{SimilarityMode::hamming});
}

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

TEST(Similarity, hamming)
{
    EXPECT_EQ(with(SimilarityMode::hamming).score({}, {}), 0.0);
    EXPECT_EQ(with(SimilarityMode::hamming).score({1, 2, 3}, {1, 5, 3}), 1.0);
    EXPECT_EQ(with(SimilarityMode::hamming).score({NAN, 2}, {NAN, 2}), 1.0) << "NaN differs from everything";
    EXPECT_EQ(with(SimilarityMode::hamming).score({}, {1}), -1.0);
    EXPECT_EQ(with(SimilarityMode::hamming, VectorSizeMismatchMode::truncate).score({}, {1}), 0.0);
}

TEST(Similarity, truncateCutsTheLongerVector)
{
    EXPECT_EQ(with(SimilarityMode::cosine, VectorSizeMismatchMode::truncate).score({3, 4, 7}, {3, 4}), 1.0);
    EXPECT_EQ(with(SimilarityMode::cosine, VectorSizeMismatchMode::truncate).score({3, 4}, {3, 4, -9}), 1.0);
    EXPECT_EQ(with(SimilarityMode::cosine, VectorSizeMismatchMode::truncate).score({}, {3, 4}), -1.0)
        << "cut to nothing, cosine still refuses empty vectors";
}

TEST(Similarity, setMeasures)
{
    EXPECT_DOUBLE_EQ(with(SimilarityMode::jaccardIndex).score({1, 1, 2}, {2, 3}), 1.0 / 3);
    EXPECT_EQ(with(SimilarityMode::jaccardIndex).score({}, {1, 2}), 0.0);
    EXPECT_EQ(with(SimilarityMode::jaccardIndex).score({}, {}), -1.0);
    EXPECT_DOUBLE_EQ(with(SimilarityMode::jaccardDistance).score({1, 2}, {2, 3}), 2.0 / 3);
    EXPECT_EQ(with(SimilarityMode::dice).score({1, 2}, {2, 3}), 0.5);
    EXPECT_EQ(with(SimilarityMode::ochiai).score({1, 2}, {2, 3}), 0.5);
    EXPECT_EQ(with(SimilarityMode::ochiai).score({}, {2, 3}), -1.0);
    // 0 and -0 are one value; each NaN is a value of its own that equals nothing.
    EXPECT_EQ(with(SimilarityMode::jaccardIndex).score({0.0, NAN}, {-0.0, NAN}), 1.0 / 3);
    EXPECT_EQ(with(SimilarityMode::dice).score({0.0, -0.0, 5}, {0.0, 5}), 1.0);
}

TEST(Similarity, tanimoto)
{
    EXPECT_EQ(with(SimilarityMode::tanimoto).score({1, 0}, {1, 0}), 1.0);
    EXPECT_DOUBLE_EQ(with(SimilarityMode::tanimoto).score({1, 1}, {1, 0}), 1.0 / 2);
    EXPECT_TRUE(std::isnan(with(SimilarityMode::tanimoto).score({0, 0}, {0, 0})));
    EXPECT_EQ(with(SimilarityMode::tanimoto).score({1}, {1, 2}), -1.0);
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
