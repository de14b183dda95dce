#include "Platform/Vision/FaceLandmarks.h"
#include "tests/Platform/Vision/VisionTestData.h"

#include <gtest/gtest.h>

#include <cmath>

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
