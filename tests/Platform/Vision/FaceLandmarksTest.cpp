#include "Platform/Vision/FaceLandmarks.h"
#include "Platform/Vision/VisionError.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/Guards.h"

#include <dlib/image_processing/shape_predictor.h>
#include <dlib/opencv/cv_image.h>

#include <gtest/gtest.h>

#include <fstream>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
using platform::FaceLandmarks;
using platform::Image;
using platform::VisionError;
using platform::VisionException;

namespace {

struct FaceInPicture
{
    Image image;
    cv::Rect2d box;
};

FaceInPicture firstFace(const std::string &picture)
{
    FaceInPicture f{ft::webcamFrame(ft::developmentPicture(picture)), {}};
    const auto faces = ft::sharedFaceModels()->faceRectangles()->detect(f.image);
    if (faces.empty())
        throw std::runtime_error("no face in " + picture);
    f.box = faces.front().rect;
    return f;
}

VisionError loadError(const std::filesystem::path &path)
{
    try {
        FaceLandmarks::load(path);
    } catch (const VisionException &e) {
        return e.error();
    }
    ADD_FAILURE() << "loaded " << path;
    return VisionError::noOutput;
}

} // namespace

TEST(FaceLandmarks, pointsSitWhereAFaceHasThem)
{
    const auto face = firstFace("johns/John_Schneider/000288_00925786.jpg");
    const auto l = ft::sharedFaceModels()->landmarks()->locate(face.image, face.box);
    const cv::Rect2d around(face.box.x - face.box.width * 0.3, face.box.y - face.box.height * 0.3,
                            face.box.width * 1.6, face.box.height * 1.6);
    for (const auto &p : l)
        EXPECT_TRUE(around.contains(p)) << p;
    EXPECT_LT(l[36].x, l[45].x) << "the eye on the picture's left comes first";
    EXPECT_LT(l[48].x, l[54].x);
    EXPECT_LT(std::max(l[36].y, l[45].y), l[30].y) << "eyes above the nose tip";
    EXPECT_LT(l[30].y, std::min(l[48].y, l[54].y)) << "nose tip above the mouth corners";
    EXPECT_LT(std::max(l[48].y, l[54].y), l[8].y) << "mouth above the chin";
}

// The predictor is run by our own loops; dlib's own evaluation of the same file
// must agree with them (dlib rounds its points to whole pixels).
TEST(FaceLandmarks, agreeWithDlibsOwnEvaluation)
{
    dlib::shape_predictor reference;
    dlib::deserialize(platform::FaceModels::Paths::standard().landmarks.string()) >> reference;
    for (const char *picture : {"johns/John_Salley/000179_02159509.jpg", "johns/John_Savage/000264_01099001.jpg",
                                "johns/John_Shimkus/000373_03228153.jpg"}) {
        const auto face = firstFace(picture);
        // An integral box, so that both see exactly the same rectangle.
        const cv::Rect box(cvRound(face.box.x), cvRound(face.box.y), cvRound(face.box.width), cvRound(face.box.height));
        const auto ours = ft::sharedFaceModels()->landmarks()->locate(face.image, box);
        const dlib::cv_image<dlib::bgr_pixel> view(face.image);
        const auto theirs = reference(view, dlib::rectangle(box.x, box.y, box.x + box.width - 1, box.y + box.height - 1));
        double worst = 0;
        for (std::size_t i = 0; i < ours.size(); ++i)
            worst = std::max(worst, cv::norm(ours[i] - cv::Point2f(float(theirs.part(i).x()), float(theirs.part(i).y()))));
        EXPECT_LT(worst, 1.0) << picture;
    }
}

TEST(FaceLandmarks, boxesPastThePictureEdgeStillGiveFinitePoints)
{
    const Image picture = ft::developmentPicture("johns/John_Simm/000288_00470387.jpg");
    const auto l = ft::sharedFaceModels()->landmarks()->locate(picture, {-40, -40, 230, 230});
    for (const auto &p : l) {
        EXPECT_TRUE(std::isfinite(p.x));
        EXPECT_TRUE(std::isfinite(p.y));
    }
}

TEST(FaceLandmarks, badPicturesAndBoxesAreTypedErrors)
{
    const auto landmarks = ft::sharedFaceModels()->landmarks();
    try {
        landmarks->locate(Image(10, 10, CV_8UC1), {0, 0, 5, 5});
        ADD_FAILURE();
    } catch (const VisionException &e) {
        EXPECT_EQ(e.error(), VisionError::unsupportedImage);
    }
    for (const cv::Rect2d box : {cv::Rect2d(0, 0, 0, 0), cv::Rect2d(0, 0, -5, 5), cv::Rect2d(NAN, 0, 5, 5)}) {
        try {
            landmarks->locate(Image(10, 10, CV_8UC3), box);
            ADD_FAILURE() << box;
        } catch (const VisionException &e) {
            EXPECT_EQ(e.error(), VisionError::inferenceFailed);
        }
    }
}

TEST(FaceLandmarks, missingOrDamagedFilesAreTypedErrors)
{
    ft::TempDir dir;
    EXPECT_EQ(loadError(dir / "absent.dat"), VisionError::modelMissing);
    std::ofstream(dir / "empty.dat").flush();
    EXPECT_EQ(loadError(dir / "empty.dat"), VisionError::modelUnreadable);
    std::ofstream(dir / "text.dat") << "not a shape predictor at all, just some text";
    EXPECT_EQ(loadError(dir / "text.dat"), VisionError::modelUnreadable);

    // The real file cut short.
    std::ifstream in(platform::FaceModels::Paths::standard().landmarks, std::ios::binary);
    std::string head(1 << 20, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    std::ofstream(dir / "short.dat", std::ios::binary) << head;
    EXPECT_EQ(loadError(dir / "short.dat"), VisionError::modelUnreadable);
}
