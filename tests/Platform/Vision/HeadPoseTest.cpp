#include "Platform/Vision/HeadPose.h"
#include "Platform/Vision/VisionError.h"
#include "tests/Platform/Vision/VisionTestData.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
using platform::FaceLandmarks;
using platform::HeadPose;
using platform::Image;

namespace {

constexpr double degree = CV_PI / 180;

// The generic face the estimate fits, in camera axes (x right, y down, z away).
const std::vector<std::pair<int, cv::Point3d>> modelPoints{
    {30, {0, 0, 0}},       {8, {0, 330, 65}},     {36, {-225, -170, 135}},
    {45, {225, -170, 135}}, {48, {-150, 150, 125}}, {54, {150, 150, 125}},
};

// The landmarks a camera (focal length = width) sees of the generic face turned
// by yaw, roll and pitch, 1 m in front of it.
FaceLandmarks::Points project(double yaw, double roll, double pitch, cv::Size size)
{
    const cv::Matx33d rx(1, 0, 0, 0, std::cos(pitch), -std::sin(pitch), 0, std::sin(pitch), std::cos(pitch));
    const cv::Matx33d ry(std::cos(yaw), 0, std::sin(yaw), 0, 1, 0, -std::sin(yaw), 0, std::cos(yaw));
    const cv::Matx33d rz(std::cos(roll), -std::sin(roll), 0, std::sin(roll), std::cos(roll), 0, 0, 0, 1);
    const cv::Matx33d r = rz * ry * rx;
    const double f = size.width;
    FaceLandmarks::Points points{};
    for (const auto &[index, p] : modelPoints) {
        const cv::Vec3d q = r * cv::Vec3d(p.x, p.y, p.z) + cv::Vec3d(0, 0, 1000);
        points[index] = cv::Point2f(float(f * q[0] / q[2] + (size.width - 1) / 2.0),
                                    float(f * q[1] / q[2] + (size.height - 1) / 2.0));
    }
    return points;
}

HeadPose poseOfFirstFace(const Image &frame)
{
    const auto models = ft::sharedFaceModels();
    const auto faces = models->faceRectangles()->detect(frame);
    if (faces.empty())
        throw std::runtime_error("no face");
    return HeadPose::measure(frame, faces.front().rect, *models->faceRectangles(), *models->landmarks());
}

const char *const pictures[] = {
    "johns/John_Salley/000183_02159543.jpg", "johns/John_Savage/000274_01099061.jpg",
    "johns/John_Schneider/000302_00925785.jpg", "johns/John_Shimkus/000375_03227651.jpg",
    "johns/John_Simm/000297_00470170.jpg",
};

} // namespace

TEST(HeadPose, recoversTheAnglesOfAProjectedFace)
{
    const cv::Size size(640, 480);
    for (const auto &[yaw, roll, pitch] : std::vector<std::tuple<double, double, double>>{
             {0, 0, 0}, {20, 0, 0}, {-25, 0, 0}, {0, 10, 0}, {0, -15, 0}, {0, 0, 15}, {12, -8, 10}}) {
        const HeadPose pose = HeadPose::estimate(project(yaw * degree, roll * degree, pitch * degree, size), size);
        EXPECT_NEAR(pose.yaw / degree, yaw, 0.5) << yaw << " " << roll << " " << pitch;
        EXPECT_NEAR(pose.roll / degree, roll, 0.5) << yaw << " " << roll << " " << pitch;
        EXPECT_NEAR(pose.pitch / degree, pitch, 0.5) << yaw << " " << roll << " " << pitch;
    }
}

TEST(HeadPose, signsFollowThePicture)
{
    // Turning the face towards the picture's left moves the nose tip left of the
    // eyes' midpoint: a positive yaw. Tipping it down: a positive pitch.
    const cv::Size size(640, 480);
    const auto turned = project(20 * degree, 0, 0, size);
    EXPECT_LT(turned[30].x, (turned[36].x + turned[45].x) / 2);
    const auto tilted = project(0, 15 * degree, 0, size);
    EXPECT_GT(tilted[45].y, tilted[36].y) << "a clockwise tilt lowers the eye on the picture's right";
}

TEST(HeadPose, mirroringNegatesYaw)
{
    for (const char *picture : pictures) {
        const Image frame = ft::webcamFrame(ft::developmentPicture(picture));
        Image mirrored;
        cv::flip(frame, mirrored, 1);
        const HeadPose a = poseOfFirstFace(frame);
        const HeadPose b = poseOfFirstFace(mirrored);
        EXPECT_NEAR(b.yaw / degree, -a.yaw / degree, 3.0) << picture;
        EXPECT_NEAR(b.roll / degree, -a.roll / degree, 3.0) << picture;
        std::printf("%s: yaw %.2f, mirrored %.2f\n", picture, a.yaw / degree, b.yaw / degree);
    }
}

TEST(HeadPose, turningThePictureChangesRollByTheSameAngle)
{
    for (const char *picture : pictures) {
        const Image frame = ft::webcamFrame(ft::developmentPicture(picture));
        Image turned;
        // 15° counter-clockwise about the frame's centre, where the face is.
        cv::warpAffine(frame, turned, cv::getRotationMatrix2D({320, 240}, 15, 1.0), frame.size(), cv::INTER_LINEAR,
                       cv::BORDER_CONSTANT, cv::Scalar(96, 104, 112));
        const HeadPose a = poseOfFirstFace(frame);
        const HeadPose b = poseOfFirstFace(turned);
        EXPECT_NEAR((b.roll - a.roll) / degree, -15.0, 3.0) << picture;
        std::printf("%s: roll %.2f, turned %.2f\n", picture, a.roll / degree, b.roll / degree);
    }
}

TEST(HeadPose, mirroredLandmarksGiveTheOppositeYawAndRoll)
{
    const cv::Size size(640, 480);
    const auto points = project(18 * degree, 7 * degree, -5 * degree, size);
    // The mirror image: x reflected, and each side's landmark becomes the other's.
    FaceLandmarks::Points mirrored = points;
    for (const auto &[a, b] : {std::pair{36, 45}, std::pair{48, 54}}) {
        mirrored[a] = points[b];
        mirrored[b] = points[a];
    }
    for (auto &p : mirrored)
        p.x = float(size.width - 1) - p.x;
    const HeadPose a = HeadPose::estimate(points, size);
    const HeadPose b = HeadPose::estimate(mirrored, size);
    EXPECT_NEAR(b.yaw, -a.yaw, 1e-6);
    EXPECT_NEAR(b.roll, -a.roll, 1e-6);
    EXPECT_NEAR(b.pitch, a.pitch, 1e-6);
}

TEST(HeadPose, absurdBoxesAreRefusedNotAllocated)
{
    const auto models = ft::sharedFaceModels();
    const Image frame(480, 640, CV_8UC3, cv::Scalar::all(100));
    for (const cv::Rect2d box : {cv::Rect2d(0, 0, 1e9, 1e9), cv::Rect2d(NAN, 0, 50, 50), cv::Rect2d(10, 10, 0, 0)})
        EXPECT_THROW(HeadPose::measure(frame, box, *models->faceRectangles(), *models->landmarks()),
                     platform::VisionException);
}

TEST(HeadPose, emptyPictureSizeIsRefused)
{
    EXPECT_THROW(HeadPose::estimate(project(0, 0, 0, {640, 480}), {0, 0}), platform::VisionException);
}
