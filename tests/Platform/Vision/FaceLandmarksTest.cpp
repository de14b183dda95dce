#include "Platform/Vision/FaceLandmarks.h"
#include "tests/Platform/Vision/VisionTestData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace ft = faciward::testing;

TEST(FaceLandmarks, boxesPastThePictureEdgeStillGiveFinitePoints)
{
    const auto picture = ft::developmentPicture("johns/John_Simm/000288_00470387.jpg");
    const auto points = ft::sharedFaceModels()->landmarks()->locate(picture, {-40, -40, 230, 230});
    for (const auto &p : points) {
        EXPECT_TRUE(std::isfinite(p.x));
        EXPECT_TRUE(std::isfinite(p.y));
    }
}

// The evaluation is laid out for speed (leaves in a cascade-wide array,
// prefetched, summed in vector registers), but every point must stay where
// the plain loops put it: the reference holds those loops' points for the
// faces of the development pictures, group pictures and boxes past the edges
// included, and the sums are made in the same order, so they match exactly.
TEST(FaceLandmarks, pointsMatchTheReferenceOfTheDevelopmentPictures)
{
    std::ifstream in(FACIWARD_LANDMARKS_REFERENCE);
    ASSERT_TRUE(in) << FACIWARD_LANDMARKS_REFERENCE;
    const auto &landmarks = *ft::sharedFaceModels()->landmarks();
    int faces = 0;
    float largest = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string picture;
        cv::Rect2d box;
        fields >> picture >> box.x >> box.y >> box.width >> box.height;
        faciward::platform::FaceLandmarks::Points expected;
        for (auto &p : expected)
            fields >> p.x >> p.y;
        ASSERT_FALSE(fields.fail()) << line.substr(0, 80);
        const auto points = landmarks.locate(ft::developmentPicture(picture), box);
        for (std::size_t i = 0; i < points.size(); ++i) {
            largest = std::max({largest, std::abs(points[i].x - expected[i].x), std::abs(points[i].y - expected[i].y)});
            EXPECT_EQ(points[i], expected[i]) << picture << " point " << i;
        }
        ++faces;
    }
    EXPECT_EQ(faces, 101);
    EXPECT_EQ(largest, 0.0f);
}
