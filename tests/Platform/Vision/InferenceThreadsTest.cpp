#include "Platform/Vision/InferenceThreads.h"
#include "tests/support/RunTogether.h"

#include <opencv2/core/utility.hpp>

#include <gtest/gtest.h>

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

TEST_F(InferenceThreadsTest, threadsShrinkWithTheCallsInFlight)
{
    const std::size_t cores = InferenceThreads::cores();
    ASSERT_GE(cores, 1u);
    EXPECT_EQ(InferenceThreads::callsInFlight(), 0u);
    EXPECT_EQ(InferenceThreads::threadsForNextLoop(), cores);
    {
        const InferenceThreads::Call one;
        EXPECT_EQ(InferenceThreads::callsInFlight(), 1u);
        EXPECT_EQ(InferenceThreads::threadsForNextLoop(), cores);
        const InferenceThreads::Call two;
        EXPECT_EQ(InferenceThreads::threadsForNextLoop(), cores > 1 ? cores - 1 : 1u);
        std::vector<InferenceThreads::Call> more(cores + 3);
        EXPECT_EQ(InferenceThreads::threadsForNextLoop(), 1u);
    }
    EXPECT_EQ(InferenceThreads::callsInFlight(), 0u);
    EXPECT_EQ(InferenceThreads::threadsForNextLoop(), cores);
}

TEST_F(InferenceThreadsTest, openCvThreadCountIsALimit)
{
    const std::size_t cores = InferenceThreads::cores();
    EXPECT_EQ(cv::getNumThreads(), static_cast<int>(cores));
    cv::setNumThreads(1);
    EXPECT_EQ(cv::getNumThreads(), 1);
    EXPECT_EQ(InferenceThreads::threadsForNextLoop(), 1u);
    cv::setNumThreads(0); // OpenCV's "no threads"
    EXPECT_EQ(InferenceThreads::threadsForNextLoop(), 1u);
    cv::setNumThreads(-1);
    EXPECT_EQ(InferenceThreads::threadsForNextLoop(), cores);
}

TEST_F(InferenceThreadsTest, aLoneCallSpreadsItsLoopsOverTheCores)
{
    if (InferenceThreads::cores() < 2)
        GTEST_SKIP() << "one core: every loop runs on its caller";
    const InferenceThreads::Call call;
    // The first stripe holds on until another thread has run a stripe, which
    // only a helper can do; the bound only keeps a broken pool from hanging.
    // (A quick helper may also take every stripe, the first included.)
    std::atomic<bool> helped{false};
    const auto caller = std::this_thread::get_id();
    loop(64, [&](int i) {
        if (std::this_thread::get_id() != caller)
            helped = true;
        if (i == 0) {
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!helped && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::yield();
        }
    });
    EXPECT_TRUE(helped);
}

TEST_F(InferenceThreadsTest, callsThatFillTheCoresRunTheirLoopsOnTheirOwnThread)
{
    std::vector<InferenceThreads::Call> calls(InferenceThreads::cores());
    const auto caller = std::this_thread::get_id();
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> elsewhere{0};
        loop(32, [&](int) {
            if (std::this_thread::get_id() != caller)
                elsewhere.fetch_add(1);
        });
        ASSERT_EQ(elsewhere.load(), 0) << "round " << round;
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
