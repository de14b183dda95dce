#include "Platform/Vision/FaceAlignment.h"

#include <gtest/gtest.h>

#include <cmath>

using faciward::platform::FaceAlignment;
using faciward::platform::FaceLandmarks;
using faciward::platform::Image;

namespace {

FaceAlignment::FivePoints transformed(const FaceAlignment::FivePoints &points, const cv::Matx23d &m)
{
    FaceAlignment::FivePoints out;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const cv::Vec3d p(points[i].x, points[i].y, 1);
        const cv::Vec2d q = m * p;
        out[i] = cv::Point2f(float(q[0]), float(q[1]));
    }
    return out;
}

} // namespace

TEST(FaceAlignment, similarityRecoversAKnownRotationScaleAndShift)
{
    const double angle = 30 * CV_PI / 180, scale = 2.5;
    const cv::Matx23d truth(scale * std::cos(angle), -scale * std::sin(angle), 5, //
                            scale * std::sin(angle), scale * std::cos(angle), -7);
    const auto &from = FaceAlignment::referencePoints();
    const cv::Matx23d found = FaceAlignment::similarity(from, transformed(from, truth));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(found(r, c), truth(r, c), 1e-4) << r << "," << c;
}

TEST(FaceAlignment, similarityOfPointsOntoThemselvesIsTheIdentity)
{
    const auto &points = FaceAlignment::referencePoints();
    const cv::Matx23d m = FaceAlignment::similarity(points, points);
    EXPECT_NEAR(m(0, 0), 1, 1e-9);
    EXPECT_NEAR(m(0, 1), 0, 1e-9);
    EXPECT_NEAR(m(1, 0), 0, 1e-9);
    EXPECT_NEAR(m(0, 2), 0, 1e-4);
    EXPECT_NEAR(m(1, 2), 0, 1e-4);
}

TEST(FaceAlignment, similarityOfCoincidentPointsDoesNotDivideByZero)
{
    FaceAlignment::FivePoints same;
    same.fill(cv::Point2f(3, 4));
    const cv::Matx23d m = FaceAlignment::similarity(same, FaceAlignment::referencePoints());
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_TRUE(std::isfinite(m(r, c)));
}

TEST(FaceAlignment, fivePointsAreEyeCentresNoseTipAndMouthCorners)
{
    FaceLandmarks::Points l;
    for (std::size_t i = 0; i < l.size(); ++i)
        l[i] = cv::Point2f(float(i), float(2 * i));
    const auto five = FaceAlignment::fivePoints(l);
    EXPECT_EQ(five[0], cv::Point2f((37 + 38 + 40 + 41) / 4.f, (74 + 76 + 80 + 82) / 4.f));
    EXPECT_EQ(five[1], cv::Point2f((43 + 44 + 46 + 47) / 4.f, (86 + 88 + 92 + 94) / 4.f));
    EXPECT_EQ(five[2], cv::Point2f(30, 60));
    EXPECT_EQ(five[3], cv::Point2f((48 + 60) / 2.f, (96 + 120) / 2.f));
    EXPECT_EQ(five[4], cv::Point2f((54 + 64) / 2.f, (108 + 128) / 2.f));
}

TEST(FaceAlignment, alignMovesTheFivePointsOntoTheReference)
{
    // A picture whose pixels hold their coordinates, with the face's points
    // shifted by (10, 20) from the reference: the aligned picture is that shift undone.
    Image image(200, 200, CV_8UC3);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            image.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(x), uchar(y), 0);
    const auto points = transformed(FaceAlignment::referencePoints(), cv::Matx23d(1, 0, 10, 0, 1, 20));
    const Image aligned = FaceAlignment::align(image, points);
    ASSERT_EQ(aligned.size(), cv::Size(FaceAlignment::size, FaceAlignment::size));
    const cv::Vec3b p = aligned.at<cv::Vec3b>(50, 40);
    EXPECT_NEAR(p[0], 50, 1);
    EXPECT_NEAR(p[1], 70, 1);
}
