#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "Faciward/Presence/Recognition/Recognizer.h"
#include "Platform/Vision/VisionError.h"
#include "tests/Faciward/Presence/Recognition/FakeVision.h"
#include "tests/Platform/Vision/VisionTestData.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
using platform::Image;
using platform::VisionError;
using faciward::presence::FaceDetector;
using faciward::presence::Recognizer;

namespace {

Recognizer::Error errorOf(const Recognizer &recognizer, const Image &picture)
{
    try {
        recognizer.recognize(picture);
    } catch (const Recognizer::Exception &e) {
        return e.error();
    }
    ADD_FAILURE() << "no error";
    return Recognizer::Error::couldNotGetEmbeddings;
}

} // namespace

TEST(Recognizer, modelFailuresBecomeTheTypedErrors)
{
    auto network = std::make_shared<ft::FakeEmbeddingModel>();
    network->failures[1] = VisionError::inferenceFailed;
    network->failures[2] = VisionError::noOutput;
    network->failures[3] = VisionError::unsupportedImage;
    // id 4 answers an empty embedding
    const Recognizer recognizer(ft::fakeModels(std::make_shared<ft::FakeFaceRectangles>(), network));
    const auto face = [](int id) { return ft::fakeFrame(0, {{cv::Rect(0, 0, 64, 64), id}}); };
    EXPECT_EQ(errorOf(recognizer, face(1)), Recognizer::Error::couldNotGetEmbeddings);
    EXPECT_EQ(errorOf(recognizer, face(2)), Recognizer::Error::couldNotGetFaceFeatures);
    EXPECT_EQ(errorOf(recognizer, face(3)), Recognizer::Error::couldNotGetCGImage);
    EXPECT_EQ(errorOf(recognizer, face(4)), Recognizer::Error::couldNotGetFaceFeatures);
    EXPECT_EQ(errorOf(Recognizer(nullptr), face(5)), Recognizer::Error::couldNotGetEmbeddings);
    // An unusable picture fails without running the model.
    const int calls = network->calls();
    EXPECT_EQ(errorOf(recognizer, Image()), Recognizer::Error::couldNotGetCGImage);
    EXPECT_EQ(errorOf(recognizer, Image(224, 224, CV_16UC3)), Recognizer::Error::couldNotGetCGImage);
    EXPECT_EQ(network->calls(), calls);
    EXPECT_EQ(name(Recognizer::Error::couldNotGetEmbeddings), "couldNotGetEmbeddings");
    EXPECT_STREQ(Recognizer::Exception(Recognizer::Error::couldNotGetCGImage).what(), "couldNotGetCGImage");
}
