// Recognition in a dim room on the real models (bench/dim-light measures the
// whole set): the owner, enrolled in normal light, is recognised in dark and
// noisy frames, and an empty dark room never shows a face.

#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "Faciward/Presence/Recognition/RecognizerManager.h"
#include "Faciward/Settings/Keys.h"
#include "SettingsStore/Prefs.h"
#include "bench/dim-light/DimFrames.h"
#include "bench/recognition/DevelopmentSet.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/ScopedSettingsFile.h"

#include <gtest/gtest.h>

namespace ft = faciward::testing;
namespace devdata = faciward::devdata;
using faciward::platform::Image;
using faciward::presence::FaceDetector;
using faciward::presence::RecognizerManager;
using Outcome = RecognizerManager::FrameCheck::Outcome;

TEST(DimLight, theOwnerIsRecognisedInDimFramesAndAStrangerIsNot)
{
    ft::ScopedSettingsFile settings;
    const auto people = devdata::identitySet(ft::developmentData());
    const auto frame = [&](std::size_t person, std::size_t picture) {
        return devdata::webcamFrame(people[person].pictures[picture]);
    };
    RecognizerManager manager;
    manager.setModel(ft::sharedFaceModels());
    // John_Shimkus is the owner: the detector found no face in the dim frames
    // of his pictures 5 and 6 before dark frames were brightened. Two others
    // are strangers, one of whose dim frames had shown no face either.
    const auto enrolled = manager.embeddings({frame(3, 0), frame(3, 1), frame(3, 2)});
    ASSERT_EQ(enrolled.size(), 3u);
    ASSERT_TRUE(faciward::prefs::Prefs::set(faciward::settings::Keys::embeddings(), enrolled));

    const struct
    {
        std::size_t person, picture;
        Outcome expected;
    } cases[] = {{3, 3, Outcome::owner},    {3, 5, Outcome::owner},    {3, 6, Outcome::owner},
                 {3, 10, Outcome::owner},   {1, 7, Outcome::stranger}, {0, 5, Outcome::stranger},
                 {0, 6, Outcome::stranger}, {4, 9, Outcome::stranger}};
    for (const auto &c : cases) {
        // The seeds of the benchmark's frames.
        const Image dim = devdata::dimFrame(frame(c.person, c.picture), c.person * 11 + c.picture + 1);
        const auto result = manager.check({dim});
        ASSERT_EQ(result.size(), 1u);
        EXPECT_EQ(result[0].outcome, c.expected) << people[c.person].name << " picture " << c.picture;
    }
}

TEST(DimLight, darkAndNoisyEmptyFramesShowNoFace)
{
    // Brightening must not make faces of noise: empty frames from black to
    // just below normal light, plain, shaded and furnished.
    const FaceDetector detector(ft::sharedFaceModels()->faceRectangles());
    cv::RNG rng(42);
    const auto noisy = [&rng](Image frame, double sigma) {
        Image noise(frame.size(), CV_16SC3);
        rng.fill(noise, cv::RNG::NORMAL, 0, sigma);
        cv::add(frame, noise, frame, cv::noArray(), CV_8UC3);
        return frame;
    };
    Image shaded(480, 640, CV_8UC3);
    for (int y = 0; y < shaded.rows; ++y)
        shaded.row(y).setTo(cv::Scalar::all(5 + 60 * y / shaded.rows));
    const Image frames[] = {noisy(Image(480, 640, CV_8UC3, cv::Scalar::all(0)), 3),
                            noisy(Image(480, 640, CV_8UC3, cv::Scalar::all(12)), 8),
                            noisy(Image(480, 640, CV_8UC3, cv::Scalar(30, 35, 40)), 12),
                            noisy(Image(480, 640, CV_8UC3, cv::Scalar::all(60)), 20),
                            noisy(shaded, 10),
                            devdata::darkEmptyFrame(1),
                            devdata::darkEmptyFrame(2),
                            devdata::darkEmptyFrame(3)};
    for (std::size_t i = 0; i < std::size(frames); ++i) {
        try {
            detector.detect(frames[i]);
            ADD_FAILURE() << "a face in empty frame " << i;
        } catch (const FaceDetector::Exception &e) {
            EXPECT_EQ(e.error(), FaceDetector::Error::couldNotFindFace) << "frame " << i;
        }
    }
}
