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

TEST(HeadPose, absurdBoxesAreRefusedNotAllocated)
{
    const auto models = ft::sharedFaceModels();
    const Image frame(480, 640, CV_8UC3, cv::Scalar::all(100));
    for (const cv::Rect2d box : {cv::Rect2d(0, 0, 1e9, 1e9), cv::Rect2d(NAN, 0, 50, 50), cv::Rect2d(10, 10, 0, 0)})
        EXPECT_THROW(HeadPose::measure(frame, box, *models->faceRectangles(), *models->landmarks()),
                     platform::VisionException);
    EXPECT_THROW(HeadPose::estimate(project(0, 0, 0, {640, 480}), {0, 0}), platform::VisionException);
}
