#include "Platform/Vision/LowLight.h"

#include <gtest/gtest.h>

using faciward::platform::Image;
using faciward::platform::LowLight;

// A face is dark below LowLight::darkFaceLevel, judged by its BT.601 luminance,
// and brought to faceTargetLevel by at most maxGain.
TEST(LowLight, aDarkFaceIsBroughtToNormalLightAndANormalOneIsLeftAlone)
{
    const struct
    {
        cv::Scalar bgr;
        double gain;
    } cases[] = {
        {cv::Scalar::all(50), 1.0},                // the boundary: not dark
        {cv::Scalar::all(49), 110.0 / 49},         // just dark
        {cv::Scalar::all(120), 1.0},               // normal light
        {cv::Scalar::all(30), 110.0 / 30},         // a dim room
        {cv::Scalar::all(20), LowLight::maxGain},  // darker: the gain is capped
        {cv::Scalar::all(0), LowLight::maxGain},   // black
        {cv::Scalar(20, 80, 20), 1.0},             // green, luminance 55.22
        {cv::Scalar(255, 20, 20), 110.0 / 46.79},  // blue, luminance 46.79
        {cv::Scalar(20, 20, 100), 110.0 / 43.92},  // red, luminance 43.92
    };
    for (const auto &c : cases) {
        EXPECT_NEAR(LowLight::faceGain(Image(40, 40, CV_8UC3, c.bgr)), c.gain, 1e-9) << c.bgr;
    }
    EXPECT_EQ(LowLight::faceGain(Image(0, 0, CV_8UC3)), 1.0);
}

TEST(LowLight, brightenedIsANewPicture)
{
    const Image dark(8, 8, CV_8UC3, cv::Scalar(10, 20, 100));
    const Image bright = LowLight::brightened(dark, 3.0);
    EXPECT_NE(bright.data, dark.data);
    EXPECT_EQ(dark.at<cv::Vec3b>(3, 3), cv::Vec3b(10, 20, 100));
    EXPECT_EQ(bright.at<cv::Vec3b>(3, 3), cv::Vec3b(30, 60, 255)); // saturated, not wrapped
}
