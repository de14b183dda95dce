#include "Platform/Vision/InferenceThreads.h"
#include "tests/support/RunTogether.h"

#include <opencv2/core/utility.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

using faciward::platform::InferenceThreads;

namespace {

// Runs @p body over [0, count) through OpenCV's loops, one stripe per index.
template<class Body>
void loop(int count, Body body)
{
    cv::parallel_for_(cv::Range(0, count), [&body](const cv::Range &range) {
        for (int i = range.start; i < range.end; ++i)
            body(i);
    }, count);
}

class InferenceThreadsTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { InferenceThreads::install(); }
    void TearDown() override { cv::setNumThreads(-1); }
};

} // namespace

TEST_F(InferenceThreadsTest, everyStripeRunsExactlyOnce)
{
    // Many loops in a row, as the layers of a network come: no stripe of one
    // loop is lost, repeated or run in the next.
    for (int round = 0; round < 300; ++round) {
        const int count = 1 + round % 37;
        std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
        loop(count, [&runs](int i) { runs[static_cast<std::size_t>(i)].fetch_add(1); });
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(runs[static_cast<std::size_t>(i)].load(), 1) << "round " << round << ", stripe " << i;
    }
}

TEST_F(InferenceThreadsTest, loopsFromSeveralThreadsAtOnceAllComplete)
{
    // Two frames' workers start loops at the same moments; each loop still runs
    // every stripe exactly once, whether it got the helpers or not.
    constexpr int rounds = 200;
    std::atomic<int> failures{0};
    const auto worker = [&failures](int seed) {
        const InferenceThreads::Call call;
        for (int round = 0; round < rounds; ++round) {
            const int count = 1 + (round * 7 + seed) % 29;
            std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
            loop(count, [&runs](int i) { runs[static_cast<std::size_t>(i)].fetch_add(1); });
            for (const auto &r : runs)
                failures += r.load() != 1;
        }
    };
    faciward::testing::runTogether(3, worker);
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(InferenceThreadsTest, aFailingStripeReachesTheCallerAndThePoolGoesOn)
{
    const InferenceThreads::Call call;
    EXPECT_ANY_THROW(loop(16, [](int i) {
        if (i == 11)
            throw std::runtime_error("stripe 11 failed");
    }));
    std::vector<std::atomic<int>> runs(16);
    loop(16, [&runs](int i) { runs[static_cast<std::size_t>(i)].fetch_add(1); });
    for (const auto &r : runs)
        EXPECT_EQ(r.load(), 1);
}

TEST_F(InferenceThreadsTest, stripesHandedOutInRunsAreEachRunOnce)
{
    // Threads take a loop's stripes several at a time, in runs that shrink as
    // the stripes run out: at every boundary of that arithmetic (fewer
    // stripes than threads, one more than a power of two, thousands), each
    // stripe runs once and every range handed to a body lies inside the loop.
    const int counts[] = {1, 2, 3, 4, 5, 7, 8, 9, 63, 64, 65, 1000, 4097};
    for (const int count : counts) {
        std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
        std::atomic<int> outside{0};
        cv::parallel_for_(cv::Range(0, count), [&](const cv::Range &range) {
            if (range.start < 0 || range.end > count || range.start >= range.end)
                outside.fetch_add(1);
            for (int i = std::max(range.start, 0); i < std::min(range.end, count); ++i)
                runs[static_cast<std::size_t>(i)].fetch_add(1);
        }, count);
        EXPECT_EQ(outside.load(), 0) << count << " stripes";
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(runs[static_cast<std::size_t>(i)].load(), 1) << count << " stripes, stripe " << i;
    }
}
