#include "Faciward/Presence/Recognition/Similarity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <utility>

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

TEST(Similarity, everyMeasureAndMismatchModeGivesItsValue)
{
    using faciward::presence::VectorSizeMismatchMode;
    using M = SimilarityMode;
    const auto bail = VectorSizeMismatchMode::bail;
    const auto truncate = VectorSizeMismatchMode::truncate;
    const double nan = std::nan("");
    struct Case
    {
        const char *what;
        SimilarityMode mode;
        VectorSizeMismatchMode mismatch;
        V a, b;
        double expected; // compared bit for bit; NaN stands for "not a number"
    };
    const Case cases[] = {
        {"cosine, cut to the shorter", M::cosine, truncate, {3, 4, 7}, {3, 4}, 1.0},
        {"cosine, cut either way", M::cosine, truncate, {3, 4}, {3, 4, 7}, 1.0},
        {"cosine, different lengths", M::cosine, bail, {3, 4, 7}, {3, 4}, -1.0},
        // Each squared norm is the square root squared again.
        {"tanimoto", M::tanimoto, bail, {1, 2, 3}, {4, 5, 6}, 0.5423728813559321},
        {"tanimoto, rounded norms", M::tanimoto, bail, {1, 1}, {1, 2}, 0.7499999999999997},
        {"tanimoto, zeros", M::tanimoto, bail, {0, 0}, {0, 0}, nan},
        {"tanimoto, different lengths", M::tanimoto, bail, {1, 2}, {1, 2, 3}, -1.0},
        {"tanimoto, empty", M::tanimoto, truncate, {}, {1}, -1.0},
        {"ochiai", M::ochiai, bail, {1, 2}, {2, 3}, 0.5},
        {"ochiai, any lengths", M::ochiai, bail, {1, 2, 2, 2}, {2, 3}, 0.5},
        {"ochiai, empty", M::ochiai, bail, {}, {2, 3}, -1.0},
        {"jaccard index", M::jaccardIndex, bail, {1, 1, 2}, {2, 3}, 1.0 / 3},
        {"jaccard index, one empty", M::jaccardIndex, bail, {}, {2, 3}, 0.0},
        {"jaccard index, both empty", M::jaccardIndex, bail, {}, {}, -1.0},
        {"jaccard index, 0 and -0 are one value", M::jaccardIndex, bail, {0.0, -0.0}, {-0.0}, 1.0},
        {"jaccard index, a NaN equals nothing", M::jaccardIndex, bail, {nan}, {nan}, 0.0},
        {"jaccard distance", M::jaccardDistance, bail, {1, 2}, {2, 3}, 1 - 1.0 / 3},
        {"jaccard distance, both empty", M::jaccardDistance, bail, {}, {}, -1.0},
        {"dice", M::dice, bail, {1, 2}, {2, 3}, 0.5},
        {"dice, a NaN each", M::dice, bail, {nan, 1}, {nan, 1}, 0.5},
        {"dice, one empty", M::dice, truncate, {}, {5}, 0.0},
        {"hamming", M::hamming, bail, {1, 2, 3}, {1, 5, 3}, 1.0},
        {"hamming, a NaN differs from itself", M::hamming, bail, {nan, 2}, {nan, 2}, 1.0},
        {"hamming, both empty", M::hamming, bail, {}, {}, 0.0},
        {"hamming, one empty", M::hamming, bail, {}, {1, 2}, -1.0},
        {"hamming, one empty, cut to it", M::hamming, truncate, {}, {1, 2}, 0.0},
        {"hamming, cut to the shorter", M::hamming, truncate, {1, 2, 3, 4}, {1, 9}, 1.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Similarity s;
        s.currentSimMode = {SimilarityMode::cosine, c.mode};
        s.currentMismatchMode = {VectorSizeMismatchMode::bail, c.mismatch};
        const double score = s.score(c.a, c.b);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(score)) << score;
        else
            EXPECT_EQ(score, c.expected);
    }
}

TEST(Similarity, aVectorWithoutADirectionScoresNotANumberAndPassesNoThreshold)
{
    const V face{0.3, -0.2, 0.5, 0.1};
    const auto scaled = [&](double factor) {
        V out;
        for (double x : face)
            out.push_back(x * factor);
        return out;
    };
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        const char *name;
        V stored;
        std::optional<double> expected; // none: not a number
    } cases[] = {
        {"zeros", {0, 0, 0, 0}, std::nullopt},
        // Its squares underflow to 0: the cosine was +inf and matched every face.
        {"norm underflows to 0", scaled(1e-200), std::nullopt},
        // Its squares are subnormal: the norm has lost its precision.
        {"subnormal squares", scaled(1e-160), std::nullopt},
        {"squares overflow", scaled(1e200), std::nullopt},
        {"an infinite element", {inf, 0.1, 0.2, 0.3}, std::nullopt},
        {"a NaN element", {nan, 0.1, 0.2, 0.3}, std::nullopt},
        // Far from the edges, scale does not matter.
        {"small but normal", scaled(1e-100), 1.0},
        {"large but finite", scaled(1e100), 1.0},
        {"the face itself", face, 1.0},
    };
    const Similarity s;
    constexpr double lowestThreshold = 0.6;
    for (const auto &c : cases) {
        for (const auto &[first, second] : {std::pair{c.stored, face}, std::pair{face, c.stored}}) {
            const double score = s.score(first, second);
            if (c.expected)
                EXPECT_NEAR(score, *c.expected, 1e-12) << c.name;
            else
                EXPECT_TRUE(std::isnan(score)) << c.name << ": " << score;
            EXPECT_EQ(score > lowestThreshold, c.expected.has_value()) << c.name;
        }
    }
    // Tanimoto of two vectors without a direction is not a number either, never infinite.
    Similarity tanimoto;
    tanimoto.currentSimMode = {SimilarityMode::tanimoto};
    EXPECT_TRUE(std::isnan(tanimoto.score(scaled(1e-200), scaled(1e-200))));
    EXPECT_TRUE(std::isnan(tanimoto.score(scaled(1e200), scaled(1e200))));
    EXPECT_EQ(tanimoto.score(face, face), 1.0);
}
