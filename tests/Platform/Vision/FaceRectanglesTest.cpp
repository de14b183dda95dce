#include "Platform/Vision/FaceRectangles.h"
#include "Platform/Vision/VisionError.h"
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

VisionError loadError(const std::filesystem::path &path)
{
    try {
        FaceRectangles::create(path);
    } catch (const VisionException &e) {
        return e.error();
    }
    ADD_FAILURE() << "loaded " << path;
    return VisionError::noOutput;
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

TEST(FaceRectangles, aPictureWithoutFacesGivesNone)
{
    const auto rectangles = ft::sharedFaceModels()->faceRectangles();
    EXPECT_TRUE(rectangles->detect(Image(480, 640, CV_8UC3, cv::Scalar(90, 100, 110))).empty());
    Image noise(480, 640, CV_8UC3);
    cv::randu(noise, 0, 256);
    EXPECT_TRUE(rectangles->detect(noise).empty());
}

TEST(FaceRectangles, greyAndBgraPicturesAreAccepted)
{
    const auto rectangles = ft::sharedFaceModels()->faceRectangles();
    const Image bgr = ft::developmentPicture("faces/2008_002506.jpg");
    Image grey, bgra;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    cv::cvtColor(bgr, bgra, cv::COLOR_BGR2BGRA);
    EXPECT_EQ(rectangles->detect(grey).size(), 3u);
    EXPECT_EQ(rectangles->detect(bgra).size(), 3u);
}

TEST(FaceRectangles, facesAreFoundWhateverThePictureShape)
{
    // The identity pictures are square, the network's input is 4:3; a tall
    // picture and a wide one hold the same face.
    const auto rectangles = ft::sharedFaceModels()->faceRectangles();
    const Image face = ft::developmentPicture("johns/John_Simm/000288_00470387.jpg");
    Image tall, wide;
    cv::copyMakeBorder(face, tall, 150, 150, 0, 0, cv::BORDER_CONSTANT, cv::Scalar::all(128));
    cv::copyMakeBorder(face, wide, 0, 0, 200, 200, cv::BORDER_CONSTANT, cv::Scalar::all(128));
    const auto inFace = rectangles->detect(face);
    const auto inTall = rectangles->detect(tall);
    const auto inWide = rectangles->detect(wide);
    ASSERT_EQ(inFace.size(), 1u);
    ASSERT_EQ(inTall.size(), 1u);
    ASSERT_EQ(inWide.size(), 1u);
    EXPECT_GT(devdata::intersectionOverUnion(inFace[0].rect, inTall[0].rect - cv::Point2d(0, 150)), 0.7);
    EXPECT_GT(devdata::intersectionOverUnion(inFace[0].rect, inWide[0].rect - cv::Point2d(200, 0)), 0.7);
}

TEST(FaceRectangles, unsupportedPicturesAreRefused)
{
    const auto rectangles = ft::sharedFaceModels()->faceRectangles();
    for (const Image &bad : {Image(), Image(48, 64, CV_16UC3, cv::Scalar::all(1000)),
                             Image(48, 64, CV_8UC2, cv::Scalar::all(1)), Image(48, 64, CV_32FC3)}) {
        try {
            rectangles->detect(bad);
            ADD_FAILURE() << "accepted type " << bad.type();
        } catch (const VisionException &e) {
            EXPECT_EQ(e.error(), VisionError::unsupportedImage);
        }
    }
}

TEST(FaceRectangles, aOnePixelPictureIsNoProblem)
{
    EXPECT_TRUE(ft::sharedFaceModels()->faceRectangles()->detect(Image(1, 1, CV_8UC3)).empty());
}

TEST(FaceRectangles, missingOrDamagedNetworkFilesAreTypedErrors)
{
    ft::TempDir dir;
    EXPECT_EQ(loadError(dir / "absent.onnx"), VisionError::modelMissing);
    EXPECT_EQ(loadError(dir.path()), VisionError::modelMissing) << "a folder is no model";

    std::ofstream(dir / "empty.onnx").flush();
    EXPECT_EQ(loadError(dir / "empty.onnx"), VisionError::modelUnreadable);

    std::ofstream(dir / "text.onnx") << "this is not a network\n";
    EXPECT_EQ(loadError(dir / "text.onnx"), VisionError::modelUnreadable);

    // The real file cut in half.
    const auto real = platform::FaceModels::Paths::standard().faceDetector;
    std::ifstream in(real, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir / "half.onnx", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    EXPECT_EQ(loadError(dir / "half.onnx"), VisionError::modelUnreadable);

    // Another network entirely: the embedding network has no "boxes" output.
    EXPECT_EQ(loadError(platform::FaceModels::Paths::standard().embeddingNetwork), VisionError::modelUnreadable);
}

