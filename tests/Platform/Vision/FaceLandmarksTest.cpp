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

} // namespace

// The predictor is run by our own loops; dlib's own evaluation of the same file
// must agree with them (dlib rounds its points to whole pixels).
TEST(FaceLandmarks, AgreeWithDlibsOwnEvaluation)
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

TEST(FaceLandmarks, BoxesPastThePictureEdgeStillGiveFinitePoints)
{
    const Image picture = ft::developmentPicture("johns/John_Simm/000288_00470387.jpg");
    const auto l = ft::sharedFaceModels()->landmarks()->locate(picture, {-40, -40, 230, 230});
    for (const auto &p : l) {
        EXPECT_TRUE(std::isfinite(p.x));
        EXPECT_TRUE(std::isfinite(p.y));
    }
}

