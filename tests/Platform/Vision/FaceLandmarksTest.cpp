#include "Platform/Vision/FaceLandmarks.h"
#include "Platform/Vision/VisionError.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ft = faciward::testing;
using faciward::platform::FaceLandmarks;
using faciward::platform::VisionError;
using faciward::platform::VisionException;

namespace {

// dlib's forms, for values below 256: an integer as a control byte (its
// length, 0x80 when negative) and its bytes; a number as its mantissa and
// exponent; a column as minus its rows, minus one column, then its numbers.
std::string integer(int value)
{
    return value < 0 ? std::string{'\x81', char(-value)} : std::string{'\x01', char(value)};
}

std::string column(int rows)
{
    std::string bytes = integer(-rows) + integer(-1);
    for (int r = 0; r < rows; ++r)
        bytes += integer(0) + integer(0);
    return bytes;
}

// A predictor file of one cascade: a mean shape of @p shapeNumbers numbers,
// one tree of one split comparing features @p idx1 and @p idx2, the shape
// points the features hang on, and @p deltas offsets from them.
struct PredictorFile
{
    int version = 1;
    int shapeNumbers = 136;
    int idx1 = 0, idx2 = 1;
    std::vector<int> anchors{0, 67};
    int deltas = 2;

    std::string bytes() const
    {
        std::string out = integer(version) + column(shapeNumbers);
        out += integer(1) + integer(1); // one forest of one tree
        out += integer(1) + integer(idx1) + integer(idx2) + integer(0) + integer(0); // its split
        out += integer(2) + column(shapeNumbers) + column(shapeNumbers); // its leaves
        out += integer(1) + integer(int(anchors.size()));
        for (const int a : anchors)
            out += integer(a);
        out += integer(1) + integer(deltas);
        for (int d = 0; d < 2 * deltas; ++d)
            out += integer(0) + integer(0);
        return out;
    }
};

} // namespace

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

// A file that decodes but whose cascade would have the walk read outside the
// shape or the features is refused when loaded, never read past at a frame.
TEST(FaceLandmarks, aPredictorThatDoesNotFitItsShapeIsUnreadable)
{
    ft::TempDir dir;
    const auto loads = [&](const PredictorFile &file) {
        std::ofstream(dir / "predictor.dat", std::ios::binary) << file.bytes();
        return FaceLandmarks::load(dir / "predictor.dat");
    };
    const auto whole = loads(PredictorFile{});
    const auto picture = ft::developmentPicture("johns/John_Simm/000288_00470387.jpg");
    const auto points = whole->locate(picture, {40, 40, 100, 100});
    EXPECT_EQ(points[0], cv::Point2f(40, 40)); // a mean shape of zeros, leaves of zeros: the box's corner

    const struct
    {
        const char *what;
        PredictorFile file;
    } cases[] = {
        {"another version", {.version = 2}},
        {"a shape of 67 points", {.shapeNumbers = 134}},
        {"a feature on point 68", {.anchors = {0, 68}}},
        {"a split on a third feature of two", {.idx2 = 2}},
        {"fewer offsets than features", {.deltas = 1}},
    };
    for (const auto &c : cases) {
        try {
            loads(c.file);
            ADD_FAILURE() << c.what << " loaded";
        } catch (const VisionException &e) {
            EXPECT_EQ(e.error(), VisionError::modelUnreadable) << c.what;
        }
    }
}
