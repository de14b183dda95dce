// The embedding of faces in hard light, on the real models.

#include "Platform/Vision/FaceCrop.h"
#include "bench/dim-light/DimFrames.h"
#include "bench/recognition/DevelopmentSet.h"
#include "tests/Platform/Vision/VisionTestData.h"

#include <gtest/gtest.h>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
namespace devdata = faciward::devdata;
using platform::Image;

namespace {

double cosine(const std::vector<double> &a, const std::vector<double> &b)
{
    double dot = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        dot += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return dot / std::sqrt(aa * bb);
}

Image faceCrop(const Image &frame)
{
    const auto boxes = ft::sharedFaceModels()->faceRectangles()->detect(frame);
    if (boxes.empty())
        throw std::runtime_error("no face");
    return platform::FaceCrop::cut(frame, platform::FaceCrop::region(boxes.front().rect), {224, 224});
}

} // namespace

// The owner enrolled in normal light, then in the shadow of a monitor in a lit
// room: the dark face, brightened for its embedding, is the owner's; another
// person in the same shadow is not. The crop itself is left as it was. Small
// faces too (at the picture's own size): one the detector missed until its
// frame was smoothed, one whose box reaches into the lit room around it.
TEST(EmbeddingModel, aFaceInShadowIsEmbeddedAsInNormalLight)
{
    const auto model = ft::sharedFaceModels()->embeddingModel();
    const struct
    {
        const char *owner;
        const char *enrolment[3];
        const char *shadowed;
        std::uint64_t seed;
        double scale;
    } cases[] = {
        {"Savage",
         {"johns/John_Savage/000264_01099001.jpg", "johns/John_Savage/000274_01099061.jpg",
          "johns/John_Savage/000277_01099000.jpg"},
         "johns/John_Savage/000291_01099214.jpg",
         5019,
         2.0},
        {"Shimkus",
         {"johns/John_Shimkus/000373_03228153.jpg", "johns/John_Shimkus/000375_03227651.jpg",
          "johns/John_Shimkus/000376_02340068.jpg"},
         "johns/John_Shimkus/000394_02340150.jpg",
         5043,
         2.0},
        {"Shimkus small",
         {"johns/John_Shimkus/000373_03228153.jpg", "johns/John_Shimkus/000375_03227651.jpg",
          "johns/John_Shimkus/000376_02340068.jpg"},
         "johns/John_Shimkus/000383_03227939.jpg",
         7039,
         1.0},
        {"Salley small",
         {"johns/John_Salley/000179_02159509.jpg", "johns/John_Salley/000183_02159543.jpg",
          "johns/John_Salley/000186_02159346.jpg"},
         "johns/John_Salley/000197_02159525.jpg",
         7009,
         1.0},
    };
    const Image stranger =
        faceCrop(devdata::shadowedFaceFrame(ft::developmentData() / "johns/John_Simm/000288_00470387.jpg", 5050));
    for (const auto &c : cases) {
        const Image crop = faceCrop(devdata::shadowedFaceFrame(ft::developmentData() / c.shadowed, c.seed, c.scale));
        const Image before = crop.clone();
        const auto shadowed = model->embedding(crop);
        EXPECT_EQ(cv::norm(crop, before, cv::NORM_INF), 0.0) << c.owner;
        const auto other = model->embedding(stranger);
        double owner = -1, notOwner = -1;
        for (const char *picture : c.enrolment) {
            const auto enrolled = model->embedding(faceCrop(ft::webcamFrame(ft::developmentPicture(picture), 2.0)));
            owner = std::max(owner, cosine(enrolled, shadowed));
            notOwner = std::max(notOwner, cosine(enrolled, other));
        }
        EXPECT_GT(owner, 0.6) << c.owner;
        EXPECT_LE(notOwner, 0.6) << c.owner;
    }
}
