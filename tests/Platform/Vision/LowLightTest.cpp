#include "Platform/Vision/LowLight.h"

#include <gtest/gtest.h>

using faciward::platform::Image;
using faciward::platform::LowLight;

// A face is dark when the middle half of each side of its box lies below
// LowLight::darkFaceLevel, judged by its BT.601 luminance; the middle is then
// brought to faceTargetLevel by at most maxGain. The box's edges, which may
// reach into the room around the face, do not count.
TEST(LowLight, aDarkFaceIsBroughtToNormalLightAndANormalOneIsLeftAlone)
{
    const struct
    {
        cv::Scalar edges;
        cv::Scalar middle; // the middle 20 by 20 pixels of 40 by 40
        double gain;
    } cases[] = {
        {cv::Scalar::all(70), cv::Scalar::all(70), 1.0},                        // the boundary: not dark
        {cv::Scalar::all(69), cv::Scalar::all(69), 100.0 / 69},                 // just dark
        {cv::Scalar::all(120), cv::Scalar::all(120), 1.0},                      // normal light
        {cv::Scalar::all(30), cv::Scalar::all(30), 100.0 / 30},                 // a dim room
        {cv::Scalar::all(20), cv::Scalar::all(20), LowLight::maxGain},          // darker: the gain is capped
        {cv::Scalar::all(0), cv::Scalar::all(0), LowLight::maxGain},            // black
        {cv::Scalar(40, 120, 40), cv::Scalar(40, 120, 40), 1.0},                // green, luminance 86.96
        {cv::Scalar(20, 80, 20), cv::Scalar(20, 80, 20), 100.0 / 55.22},        // dark green, luminance 55.22
        {cv::Scalar(255, 20, 20), cv::Scalar(255, 20, 20), 100.0 / 46.79},     // blue, luminance 46.79
        {cv::Scalar(20, 20, 100), cv::Scalar(20, 20, 100), 100.0 / 43.92},     // red, luminance 43.92
        {cv::Scalar::all(200), cv::Scalar::all(30), 100.0 / 30},                // in shadow, the box's edges lit
        {cv::Scalar::all(10), cv::Scalar::all(150), 1.0},                       // lit, the box's edges dark
    };
    for (const auto &c : cases) {
        Image face(40, 40, CV_8UC3, c.edges);
        face(cv::Rect(10, 10, 20, 20)).setTo(c.middle);
        EXPECT_NEAR(LowLight::faceGain(face), c.gain, 1e-9) << c.edges << " around " << c.middle;
    }
    EXPECT_EQ(LowLight::faceGain(Image(0, 0, CV_8UC3)), 1.0);
    EXPECT_EQ(LowLight::faceGain(Image(1, 1, CV_8UC3, cv::Scalar::all(20))), LowLight::maxGain); // a middle of one pixel
}

TEST(LowLight, brightenedIsANewPicture)
{
    const Image dark(8, 8, CV_8UC3, cv::Scalar(10, 20, 100));
    const Image bright = LowLight::brightened(dark, 3.0);
    EXPECT_NE(bright.data, dark.data);
    EXPECT_EQ(dark.at<cv::Vec3b>(3, 3), cv::Vec3b(10, 20, 100));
    EXPECT_EQ(bright.at<cv::Vec3b>(3, 3), cv::Vec3b(30, 60, 255)); // saturated, not wrapped
}

// Smoothed before it is brightened, a dark noisy picture keeps its brightness
// but not its noise; without smoothing every pixel is just multiplied.
TEST(LowLight, aSmoothedPictureIsBrightenedWithoutItsNoise)
{
    Image dark(120, 160, CV_8UC3);
    cv::RNG(5).fill(dark, cv::RNG::NORMAL, 40, 8);
    const Image before = dark.clone();
    const struct
    {
        double smoothing;
        double maxSpread;
        double minSpread;
    } cases[] = {
        {0, 3 * 8 * 1.1, 3 * 8 * 0.9}, // the noise brightened with the picture
        {1.0, 3 * 8 * 0.5, 0},
        {LowLight::frameSmoothing, 3 * 8 * 0.3, 0},
    };
    for (const auto &c : cases) {
        const Image bright = LowLight::brightened(dark, 3.0, c.smoothing);
        cv::Scalar mean, spread;
        cv::meanStdDev(bright.reshape(1), mean, spread);
        EXPECT_NEAR(mean[0], 120, 2) << c.smoothing;
        EXPECT_LT(spread[0], c.maxSpread) << c.smoothing;
        EXPECT_GT(spread[0], c.minSpread) << c.smoothing;
        EXPECT_EQ(cv::norm(dark, before, cv::NORM_INF), 0.0) << c.smoothing;
    }
}
