// The detector and the embedding network used from two threads at once, as the
// recognition workers use them: the answers are those of a single thread.

#include "Platform/Vision/FaceCrop.h"
#include "tests/Platform/Vision/VisionTestData.h"

#include <gtest/gtest.h>

#include <barrier>
#include <thread>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
using platform::Image;

TEST(VisionConcurrency, twoThreadsDetectAndEmbedAsOneWould)
{
    const auto models = ft::sharedFaceModels();
    const std::array<Image, 2> frames{
        ft::webcamFrame(ft::developmentPicture("johns/John_Simm/000288_00470387.jpg")),
        ft::webcamFrame(ft::developmentPicture("johns/John_Savage/000264_01099001.jpg")),
    };
    struct Answer
    {
        std::vector<platform::FaceBox> boxes;
        std::vector<double> embedding;
    };
    const auto work = [&models](const Image &frame) {
        Answer a;
        a.boxes = models->faceRectangles()->detect(frame);
        if (!a.boxes.empty())
            a.embedding = models->embeddingModel()->embedding(
                platform::FaceCrop::cut(frame, platform::FaceCrop::region(a.boxes.front().rect), {224, 224}));
        return a;
    };
    const std::array<Answer, 2> expected{work(frames[0]), work(frames[1])};
    ASSERT_FALSE(expected[0].embedding.empty());
    ASSERT_FALSE(expected[1].embedding.empty());

    constexpr int rounds = 8;
    std::barrier together(2);
    std::array<int, 2> mismatches{0, 0};
    const auto worker = [&](int me) {
        for (int r = 0; r < rounds; ++r) {
            together.arrive_and_wait(); // both start each round at the same moment
            const Answer a = work(frames[me]);
            if (a.embedding != expected[me].embedding || a.boxes.size() != expected[me].boxes.size() ||
                a.boxes.front().rect != expected[me].boxes.front().rect)
                ++mismatches[me];
        }
    };
    std::thread first(worker, 0), second(worker, 1);
    first.join();
    second.join();
    EXPECT_EQ(mismatches[0], 0);
    EXPECT_EQ(mismatches[1], 0);
}
