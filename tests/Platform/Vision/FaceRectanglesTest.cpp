#include "Platform/Vision/FaceRectangles.h"
#include "Platform/Vision/VisionError.h"
#include "bench/dim-light/DimFrames.h"
#include "bench/recognition/DevelopmentSet.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <fstream>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
namespace devdata = faciward::devdata;
using platform::FaceRectangles;
using platform::Image;
using platform::VisionError;
using platform::VisionException;

namespace {

std::vector<cv::Rect2d> rects(const std::vector<platform::FaceBox> &faces)
{
    std::vector<cv::Rect2d> out;
    for (const auto &f : faces)
        out.push_back(f.rect);
    return out;
}

} // namespace

// The annotated group pictures: every face must be found, and a box that is not
// a face would be enrolled as the owner, so stray boxes are counted too.
TEST(FaceRectangles, findsTheAnnotatedFacesWithFewStrayBoxes)
{
    const auto rectangles = ft::sharedFaceModels()->faceRectangles();
    devdata::DetectionScore total;
    for (const auto &picture : devdata::annotatedFaces(ft::developmentData())) {
        const Image image = cv::imread(picture.file.string());
        ASSERT_FALSE(image.empty()) << picture.file;
        total += devdata::scoreDetection(picture.faces, rects(rectangles->detect(image)));
    }
    ASSERT_EQ(total.faces, 43);
    EXPECT_GE(total.found, 39) << "at least 90 % of the faces at IoU >= 0.3";
    EXPECT_LE(total.stray, 4) << "at most 10 % of the faces in stray boxes";
    std::printf("found %d of %d faces, %d stray boxes, mean IoU %.3f\n", total.found, total.faces, total.stray,
                total.meanIoU);
}

TEST(FaceRectangles, boxesAreSquareAndLargestFirst)
{
    const auto faces = ft::sharedFaceModels()->faceRectangles()->detect(
        ft::developmentPicture("faces/2008_002506.jpg"));
    ASSERT_EQ(faces.size(), 3u);
    for (std::size_t i = 0; i < faces.size(); ++i) {
        EXPECT_NEAR(faces[i].rect.width, faces[i].rect.height, 1e-9);
        EXPECT_GT(faces[i].confidence, 0.5f);
        EXPECT_LE(faces[i].confidence, 1.0f);
        if (i > 0) {
            EXPECT_GE(faces[i - 1].rect.area(), faces[i].rect.area());
        }
    }
}

// The caller's picture is shared (the frame kept for the lock picture, the
// enrolment preview): looking for faces must leave every pixel as it was, the
// dark frames that are brightened for the detector included.
TEST(FaceRectangles, detectionLeavesThePictureAsItWas)
{
    const auto rectangles = ft::sharedFaceModels()->faceRectangles();
    const Image normal = ft::webcamFrame(ft::developmentPicture("johns/John_Simm/000288_00470387.jpg"));
    const struct
    {
        const char *name;
        Image frame;
        std::size_t faces;
    } cases[] = {
        {"dark frame with a face", devdata::dimFrame(normal, 7), 1},
        {"dark empty frame", devdata::darkEmptyFrame(5), 0},
        {"normal frame", normal, 1},
    };
    for (const auto &c : cases) {
        const Image before = c.frame.clone();
        EXPECT_EQ(rectangles->detect(c.frame).size(), c.faces) << c.name;
        ASSERT_EQ(c.frame.size(), before.size()) << c.name;
        EXPECT_EQ(cv::norm(c.frame, before, cv::NORM_INF), 0.0) << c.name;
    }
}

// A normally lit small face before a plain mid-grey wall: the frame counts as
// dark and is brightened, which washes such faces out. The face the plain frame
// shows must still be found.
TEST(FaceRectangles, aSmallFaceBeforeAMidGreyWallIsFound)
{
    const auto rectangles = ft::sharedFaceModels()->faceRectangles();
    const struct
    {
        const char *picture;
        int wall;
    } cases[] = {
        {"johns/John_Salley/000183_02159543.jpg", 60},  {"johns/John_Salley/000183_02159543.jpg", 100},
        {"johns/John_Salley/000183_02159543.jpg", 120}, {"johns/John_Savage/000291_01099214.jpg", 60},
        {"johns/John_Savage/000291_01099214.jpg", 120}, {"johns/John_Shimkus/000383_03227939.jpg", 100},
        {"johns/John_Simm/000288_00470387.jpg", 100},
    };
    const int side = devdata::wallFaceSide;
    const cv::Rect2d face((640 - side) / 2, (480 - side) / 2, side, side);
    for (const auto &c : cases) {
        const auto faces = rectangles->detect(devdata::wallFrame(ft::developmentData() / c.picture, c.wall));
        ASSERT_EQ(faces.size(), 1u) << c.picture << " before a wall of " << c.wall;
        EXPECT_GT(devdata::intersectionOverUnion(faces[0].rect, face), 0.3) << c.picture << " at " << c.wall;
    }
}

// A face in shadow in a lit room, a third as bright as the room and noisy: the
// frame is not dark, so only the pass for shadowed faces finds these.
TEST(FaceRectangles, aFaceInShadowInALitRoomIsFound)
{
    const auto rectangles = ft::sharedFaceModels()->faceRectangles();
    const struct
    {
        const char *picture;
        std::uint64_t seed;
    } cases[] = {
        {"johns/John_Salley/000194_02159572.jpg", 7007},  {"johns/John_Savage/000291_01099023.jpg", 7018},
        {"johns/John_Shimkus/000375_03227651.jpg", 7035}, {"johns/John_Shimkus/000376_02340068.jpg", 7036},
        {"johns/John_Shimkus/000378_03227610.jpg", 7038}, {"johns/John_Shimkus/000396_03227722.jpg", 7044},
        // Missed until the frame was smoothed before it was brightened.
        {"johns/John_Savage/000291_01099214.jpg", 7019},  {"johns/John_Savage/000299_01099008.jpg", 7022},
        {"johns/John_Shimkus/000383_03227939.jpg", 7039}, {"johns/John_Shimkus/000388_03227773.jpg", 7041},
    };
    const cv::Rect2d face(245, 165, 150, 150); // the picture, at its own size, in the middle
    for (const auto &c : cases) {
        const Image frame = devdata::shadowedFaceFrame(ft::developmentData() / c.picture, c.seed, 1.0);
        const auto faces = rectangles->detect(frame);
        ASSERT_EQ(faces.size(), 1u) << c.picture;
        EXPECT_GT(devdata::intersectionOverUnion(faces[0].rect, face), 0.3) << c.picture;
    }
}

// The passes for dark and shadowed frames brighten noise too: it must never
// become a face. Lit rooms with a noisy shadowed patch, and plain noisy frames
// from mid-grey to light.
TEST(FaceRectangles, noisyEmptyFramesInLightAndShadowShowNoFace)
{
    const auto rectangles = ft::sharedFaceModels()->faceRectangles();
    cv::RNG rng(7);
    const auto noisy = [&rng](int level, double sigma) {
        Image frame(480, 640, CV_8UC3, cv::Scalar::all(level));
        Image noise(frame.size(), CV_16SC3);
        rng.fill(noise, cv::RNG::NORMAL, 0, sigma);
        cv::add(frame, noise, frame, cv::noArray(), CV_8UC3);
        return frame;
    };
    const cv::Rect patch(170, 90, 300, 300);
    const Image frames[] = {devdata::shadowed(devdata::litEmptyFrame(2000), patch, 3000),
                            devdata::shadowed(devdata::litEmptyFrame(2001), patch, 3001),
                            devdata::shadowed(devdata::litEmptyFrame(2002), patch, 3002),
                            devdata::shadowed(noisy(180, 4), patch, 3003),
                            // faces to the passes that brighten, without smoothing
                            devdata::shadowed(devdata::litEmptyFrame(9121), cv::Rect(259, 131, 217, 322), 9621),
                            devdata::darkEmptyFrame(1015),
                            noisy(140, 20),
                            noisy(200, 30)};
    for (std::size_t i = 0; i < std::size(frames); ++i)
        EXPECT_TRUE(rectangles->detect(frames[i]).empty()) << "a face in empty frame " << i;
}
