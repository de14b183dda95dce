#include "Platform/Vision/FaceCrop.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

using faciward::platform::FaceCrop;
using faciward::platform::Image;

namespace {

// Every pixel holds its own coordinates: blue = x, green = y.
Image coordinatePicture(int width, int height)
{
    Image image(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(x), uchar(y), 200);
    return image;
}

} // namespace

TEST(FaceCrop, regionAddsTheMarginOnEverySide)
{
    const cv::Rect2d region = FaceCrop::region({10, 20, 100, 100});
    EXPECT_DOUBLE_EQ(region.x, 10 - 100 * FaceCrop::margin);
    EXPECT_DOUBLE_EQ(region.y, 20 - 100 * FaceCrop::margin);
    EXPECT_DOUBLE_EQ(region.width, 100 * (1 + 2 * FaceCrop::margin));
    EXPECT_DOUBLE_EQ(region.height, 100 * (1 + 2 * FaceCrop::margin));
}

TEST(FaceCrop, faceBoxInCropUndoesTheRegion)
{
    // A face box cut out with its margin and scaled to 224 pixels lies where
    // faceBoxInCrop says, whatever the box's size.
    for (const double side : {37.0, 100.0, 300.0}) {
        const cv::Rect2d face(50, 60, side, side);
        const cv::Rect2d region = FaceCrop::region(face);
        const double scale = 224.0 / region.width;
        const cv::Rect2d inCrop = FaceCrop::faceBoxInCrop({224, 224});
        EXPECT_NEAR(inCrop.x, (face.x - region.x) * scale, 1e-9);
        EXPECT_NEAR(inCrop.y, (face.y - region.y) * scale, 1e-9);
        EXPECT_NEAR(inCrop.width, face.width * scale, 1e-9);
    }
}

TEST(FaceCrop, cutInsideThePictureScalesTheRegion)
{
    const Image image = coordinatePicture(200, 150);
    const Image crop = FaceCrop::cut(image, {40, 30, 100, 100}, {50, 50});
    ASSERT_EQ(crop.size(), cv::Size(50, 50));
    ASSERT_EQ(crop.type(), CV_8UC3);
    // Pixel (10, 20) of the crop samples the picture at (40 + 20.5, 30 + 40.5).
    const cv::Vec3b p = crop.at<cv::Vec3b>(20, 10);
    EXPECT_NEAR(p[0], 60.5, 1.0);
    EXPECT_NEAR(p[1], 70.5, 1.0);
}

TEST(FaceCrop, regionsPastTheEdgesArePaddedBlackWithoutMovingTheFace)
{
    const Image image = coordinatePicture(100, 80);
    // Half the region lies left of and above the picture.
    const Image crop = FaceCrop::cut(image, {-50, -40, 100, 80}, {100, 80});
    ASSERT_EQ(crop.size(), cv::Size(100, 80));
    EXPECT_EQ(crop.at<cv::Vec3b>(10, 10), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(crop.at<cv::Vec3b>(60, 70), cv::Vec3b(20, 20, 200)); // picture pixel (20, 20)

    // And right of and below it.
    const Image other = FaceCrop::cut(image, {60, 50, 100, 80}, {100, 80});
    EXPECT_EQ(other.at<cv::Vec3b>(5, 5), cv::Vec3b(65, 55, 200));
    EXPECT_EQ(other.at<cv::Vec3b>(70, 90), cv::Vec3b(0, 0, 0));
}

TEST(FaceCrop, regionsWhollyOutsideGiveABlackPicture)
{
    const Image image = coordinatePicture(100, 80);
    const Image crop = FaceCrop::cut(image, {500, -300, 40, 40}, {224, 224});
    ASSERT_EQ(crop.size(), cv::Size(224, 224));
    EXPECT_EQ(cv::countNonZero(crop.reshape(1)), 0);
}

TEST(FaceCrop, tinyAndFractionalRegionsStillGiveTheRequestedSize)
{
    const Image image = coordinatePicture(100, 80);
    EXPECT_EQ(FaceCrop::cut(image, {10.2, 10.7, 0.3, 0.1}, {224, 224}).size(), cv::Size(224, 224));
    EXPECT_EQ(FaceCrop::cut(image, {0, 0, 100, 80}, {224, 224}).size(), cv::Size(224, 224));
}
