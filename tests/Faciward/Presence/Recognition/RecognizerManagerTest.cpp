#include "Faciward/Presence/Recognition/RecognizerManager.h"
#include "Faciward/Settings/Keys.h"
#include "SettingsStore/Prefs.h"
#include "tests/Faciward/Presence/Recognition/FakeVision.h"
#include "tests/support/RunTogether.h"
#include "tests/support/ScopedSettingsFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <thread>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
using faciward::presence::RecognizerManager;
using platform::Image;
using platform::VisionError;
using Embeddings = std::vector<std::vector<double>>;

namespace {

// Threads that wait for each other, with a generous real-time limit so that a
// fault shows as a failed check rather than a hung test.
class Meeting
{
public:
    explicit Meeting(int expected) : m_expected(expected) {}

    /// @brief Counts this thread in and waits until all expected have come; false on timeout.
    bool arriveAndWait()
    {
        std::unique_lock lock(m_mutex);
        ++m_arrived;
        m_changed.notify_all();
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_arrived >= m_expected; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_arrived = 0;
    const int m_expected;
};

// Counts work in flight and remembers the most ever in flight at once.
class InFlight
{
public:
    void enter()
    {
        const int now = ++m_now;
        int peak = m_peak.load();
        while (now > peak && !m_peak.compare_exchange_weak(peak, now)) {
        }
    }
    void leave() { --m_now; }
    int peak() const { return m_peak.load(); }

private:
    std::atomic<int> m_now{0};
    std::atomic<int> m_peak{0};
};

const std::vector<double> owner{1, 0};
const std::vector<double> stranger{0, 1};

class RecognizerManagerTest : public ::testing::Test
{
protected:
    std::shared_ptr<ft::FakeFaceRectangles> rectangles = std::make_shared<ft::FakeFaceRectangles>();
    std::shared_ptr<ft::FakeEmbeddingModel> network = std::make_shared<ft::FakeEmbeddingModel>();
    Embeddings stored{owner};
    double threshold = 0.6;
    std::atomic<int> storedReads{0};
    std::atomic<int> thresholdReads{0};
    std::function<void()> onStoredRead;
    std::atomic<bool> reachedOwnerTest{false};

    RecognizerManager manager{[this] {
                                  ++storedReads;
                                  if (onStoredRead)
                                      onStoredRead();
                                  return stored;
                              },
                              [this] {
                                  ++thresholdReads;
                                  return threshold;
                              }};

    void SetUp() override
    {
        manager.setModel(ft::fakeModels(rectangles, network));
        network->embeddings = {{1, owner}, {2, stranger}};
    }

    // Frame `tag` with one face of id `face` (or none when face is 0).
    Image frameWith(int tag, int face)
    {
        if (face == 0)
            return ft::fakeFrame(tag);
        rectangles->boxes[tag] = {cv::Rect(20, 20, 20, 20)};
        return ft::fakeFrame(tag, {{cv::Rect(20, 20, 20, 20), face}});
    }

    Image frameWithTwo(int tag, int first, int second)
    {
        rectangles->boxes[tag] = {cv::Rect(4, 4, 16, 16), cv::Rect(40, 40, 16, 16)};
        return ft::fakeFrame(tag, {{cv::Rect(4, 4, 16, 16), first}, {cv::Rect(40, 40, 16, 16), second}});
    }
};

std::vector<bool> answers(std::initializer_list<bool> values)
{
    return std::vector<bool>(values);
}

} // namespace

TEST_F(RecognizerManagerTest, withoutModelAWholeCallFailsWithATypedError)
{
    RecognizerManager withoutModel{[] { return Embeddings{owner}; }, [] { return 0.6; }};
    EXPECT_FALSE(withoutModel.hasModel());
    EXPECT_TRUE(withoutModel.recognize({}).empty()) << "empty input needs no model";
    EXPECT_TRUE(withoutModel.embeddings({}).empty());
    const std::vector<Image> frames{frameWith(1, 1)};
    for (int call = 0; call < 2; ++call) {
        try {
            if (call == 0)
                withoutModel.recognize(frames);
            else
                withoutModel.embeddings(frames);
            ADD_FAILURE() << "no error";
        } catch (const RecognizerManager::Exception &e) {
            EXPECT_EQ(e.error(), RecognizerManager::Error::modelNotLoaded);
            EXPECT_STREQ(e.what(), "modelNotLoaded");
        }
    }
}

TEST_F(RecognizerManagerTest, answersComeInFrameOrder)
{
    const std::vector<Image> frames{frameWith(1, 1), frameWith(2, 2), frameWith(3, 0), frameWith(4, 1),
                                    frameWith(5, 2)};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(manager.recognize(frames), answers({true, false, false, true, false}));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "couldNotFindFace\n");
    // A frame with two faces is the owner's when either is.
    EXPECT_EQ(manager.recognize({frameWithTwo(1, 2, 1), frameWithTwo(2, 1, 2), frameWithTwo(3, 2, 2)}),
              answers({true, true, false}));
    EXPECT_TRUE(manager.recognize({}).empty());
    stored.clear(); // nothing enrolled: nobody is the owner
    EXPECT_EQ(manager.recognize({frameWith(1, 1)}), answers({false}));
}

TEST_F(RecognizerManagerTest, orderHoldsWhenALaterFrameFinishesFirst)
{
    // Frame 1's detection waits until frame 2 has reached its owner test.
    Meeting frameTwoDone(2);
    std::atomic<bool> met{true};
    rectangles->onDetect = [&](int tag) {
        if (tag == 1 && !frameTwoDone.arriveAndWait())
            met = false;
    };
    onStoredRead = [&] {
        if (!reachedOwnerTest.exchange(true))
            frameTwoDone.arriveAndWait();
    };
    EXPECT_EQ(manager.recognize({frameWith(1, 1), frameWith(2, 2)}), answers({true, false}));
    EXPECT_TRUE(met.load());
}

TEST_F(RecognizerManagerTest, atMostTwoFacesOfAFrameAtATimeAndFourInAll)
{
    // Two frames of three faces each: two faces of each frame meet, so four
    // embeddings are in flight at once, and never more.
    for (int tag : {1, 2})
        rectangles->boxes[tag] = {cv::Rect(2, 2, 12, 12), cv::Rect(24, 24, 12, 12), cv::Rect(46, 46, 12, 12)};
    const std::vector<Image> frames{
        ft::fakeFrame(1, {{cv::Rect(2, 2, 12, 12), 11}, {cv::Rect(24, 24, 12, 12), 12}, {cv::Rect(46, 46, 12, 12), 13}}),
        ft::fakeFrame(2, {{cv::Rect(2, 2, 12, 12), 21}, {cv::Rect(24, 24, 12, 12), 22}, {cv::Rect(46, 46, 12, 12), 23}}),
    };
    for (int id : {11, 12, 13, 21, 22, 23})
        network->embeddings[id] = stranger;
    network->embeddings[23] = owner;
    InFlight all;
    Meeting four(4);
    std::atomic<bool> met{true};
    network->onEmbed = [&](int id) {
        all.enter();
        if (id % 10 != 3 && !four.arriveAndWait())
            met = false;
        all.leave();
    };
    EXPECT_EQ(manager.recognize(frames), answers({false, true}));
    EXPECT_TRUE(met.load()) << "two faces of each of two frames were not embedded together";
    EXPECT_EQ(all.peak(), 4);
}

TEST_F(RecognizerManagerTest, matchingIsStrictlyAboveTheThreshold)
{
    // cos([1, 0], [7, √51]) is exactly the double 0.7.
    const std::vector<double> seventy{7, std::sqrt(51.0)};
    stored = {{1, 0}};
    threshold = 0.7;
    EXPECT_FALSE(manager.matchesStoredEmbeddings({seventy}));
    threshold = std::nextafter(0.7, 0.0);
    EXPECT_TRUE(manager.matchesStoredEmbeddings({seventy}));
    // And with the cosine one step above the threshold.
    stored = {{3, 4}};
    threshold = std::nextafter(1.0, 0.0);
    EXPECT_TRUE(manager.matchesStoredEmbeddings({{3, 4}}));
    threshold = 1.0;
    EXPECT_FALSE(manager.matchesStoredEmbeddings({{3, 4}}));

    // Unusable embeddings never match: other lengths and empty ones score -1, all zeros NaN.
    threshold = 0.6;
    stored = {{1, 0, 0}, {}};
    EXPECT_FALSE(manager.matchesStoredEmbeddings({{1, 0}}));
    stored = {{1, 0}};
    EXPECT_FALSE(manager.matchesStoredEmbeddings({{0, 0}}));
    EXPECT_FALSE(manager.matchesStoredEmbeddings({{NAN, 1}}));
    EXPECT_FALSE(manager.matchesStoredEmbeddings({}));
    threshold = -2; // even a refusal (-1) must not count when the threshold is below it
    EXPECT_TRUE(manager.matchesStoredEmbeddings({{1, 0}}));

    // The settings are read as often as they are used: once per face, once per comparison.
    stored = {owner, stranger, owner};
    storedReads = 0;
    thresholdReads = 0;
    EXPECT_TRUE(manager.matchesStoredEmbeddings({owner, stranger}));
    EXPECT_EQ(storedReads.load(), 2);
    EXPECT_EQ(thresholdReads.load(), 6) << "no early exit";
}

TEST(RecognizerManagerSettings, theStoredPrecisionSetsTheThresholdAFaceMustExceed)
{
    using faciward::settings::FacePrecision;
    namespace Keys = faciward::settings::Keys;
    using faciward::prefs::Prefs;
    ft::ScopedSettingsFile settings;
    ASSERT_TRUE(Prefs::set(Keys::embeddings(), Embeddings{{1, 0}}));
    const RecognizerManager manager; // reads both settings at every comparison
    // Against the enrolled [1, 0], each face scores exactly the cosine named.
    const std::vector<double> at06{0.6, 0.8}, above06{0.6000000000000001, 0.8};
    const std::vector<double> at07{7, std::sqrt(51.0)}, above07{0.7000000000000001, 0.714142842854285};
    const std::vector<double> at08{0.8, 0.6}, above08{0.8000000000000002, 0.6};
    struct Case
    {
        FacePrecision precision;
        std::vector<double> face;
        bool matches;
    };
    const Case cases[] = {
        {FacePrecision::low, at06, false},     {FacePrecision::low, above06, true},
        {FacePrecision::low, at07, true},      {FacePrecision::medium, above06, false},
        {FacePrecision::medium, at07, false},  {FacePrecision::medium, above07, true},
        {FacePrecision::medium, at08, true},   {FacePrecision::high, above07, false},
        {FacePrecision::high, at08, false},    {FacePrecision::high, above08, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << static_cast<int>(c.precision) << " " << c.face[0]);
        ASSERT_TRUE(Prefs::set(Keys::facePrecision(), c.precision));
        EXPECT_EQ(manager.matchesStoredEmbeddings({c.face}), c.matches);
    }
}

TEST_F(RecognizerManagerTest, failuresOfOneFrameAreWrittenAndLeaveTheOthers)
{
    rectangles->failures[2] = VisionError::inferenceFailed;
    rectangles->failures[3] = VisionError::unsupportedImage;
    network->failures[9] = VisionError::inferenceFailed;
    network->failures[8] = VisionError::noOutput;
    const std::vector<Image> frames{frameWith(1, 1), ft::fakeFrame(2), ft::fakeFrame(3), frameWith(4, 9),
                                    frameWith(5, 8), frameWith(6, 1), Image()};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(manager.recognize(frames), answers({true, false, false, false, false, true, false}));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "couldNotProcessImageRequest\ncouldNotGetCIImage\ncouldNotGetEmbeddings\ncouldNotGetFaceFeatures\n"
              "couldNotGetCIImage\n");
}

TEST_F(RecognizerManagerTest, enrolmentKeepsFrameAndFaceOrderAndDropsWhatCannotMatch)
{
    network->embeddings[3] = {0.5, 0.5};
    network->embeddings[4] = {};
    network->embeddings[5] = {NAN, 1};
    network->embeddings[6] = {0, 0};
    network->embeddings[7] = {INFINITY, 0};
    network->failures[9] = VisionError::inferenceFailed;
    rectangles->failures[20] = VisionError::inferenceFailed;
    const std::vector<Image> frames{
        frameWithTwo(1, 2, 1), // both kept, in face order
        ft::fakeFrame(2),      // no face: nothing
        frameWith(3, 4),       // empty embedding: dropped
        frameWithTwo(4, 3, 9), // one face fails: the whole frame gives nothing
        frameWith(5, 5),       // NaN: dropped
        frameWith(6, 6),       // all zeros: dropped
        frameWith(7, 7),       // infinity: dropped
        ft::fakeFrame(20),     // detection fails: nothing
        frameWith(8, 3),       // kept
    };
    ::testing::internal::CaptureStdout();
    const Embeddings enrolled = manager.embeddings(frames);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "enrolment writes nothing";
    EXPECT_EQ(enrolled, (Embeddings{stranger, owner, {0.5, 0.5}}));
}

TEST_F(RecognizerManagerTest, overlappingCallsFromTwoThreadsEachGetTheirOwnAnswers)
{
    const std::vector<Image> inputs[2] = {{frameWith(1, 1), frameWith(2, 2), frameWith(3, 1)},
                                          {frameWith(4, 2), frameWith(5, 2), frameWith(6, 1)}};
    std::vector<bool> results[2];
    ft::runTogether(2, [&](int t) {
        for (int i = 0; i < 20; ++i)
            results[t] = manager.recognize(inputs[t]);
    });
    EXPECT_EQ(results[0], answers({true, false, true}));
    EXPECT_EQ(results[1], answers({false, false, true}));
}
