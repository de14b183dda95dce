#include "Platform/Vision/EmbeddingModel.h"
#include "Platform/Vision/FaceCrop.h"
#include "Platform/Vision/VisionError.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
using platform::EmbeddingModel;
using platform::FaceCrop;
using platform::Image;
using platform::VisionError;
using platform::VisionException;

namespace {

Image faceCrop(const std::string &picture)
{
    const Image frame = ft::webcamFrame(ft::developmentPicture(picture));
    const auto faces = ft::sharedFaceModels()->faceRectangles()->detect(frame);
    if (faces.empty())
        throw std::runtime_error("no face in " + picture);
    return FaceCrop::cut(frame, FaceCrop::region(faces.front().rect), {224, 224});
}

double cosine(const std::vector<double> &a, const std::vector<double> &b)
{
    double dot = 0, na = 0, nb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        dot += a[i] * b[i];
        na += a[i] * a[i];
        nb += b[i] * b[i];
    }
    return dot / std::sqrt(na * nb);
}

} // namespace

TEST(EmbeddingModel, givesTheNetworksFiveHundredAndTwelveFiniteNumbers)
{
    const auto e = ft::sharedFaceModels()->embeddingModel()->embedding(faceCrop("johns/John_Simm/000288_00470387.jpg"));
    ASSERT_EQ(e.size(), 512u);
    double squares = 0;
    for (double v : e) {
        ASSERT_TRUE(std::isfinite(v));
        squares += v * v;
    }
    EXPECT_GT(squares, 0);
}

TEST(EmbeddingModel, isDeterministic)
{
    const Image crop = faceCrop("johns/John_Savage/000264_01099001.jpg");
    const auto model = ft::sharedFaceModels()->embeddingModel();
    EXPECT_EQ(model->embedding(crop), model->embedding(crop));
}

TEST(EmbeddingModel, samePersonIsCloserThanAnotherPerson)
{
    const auto model = ft::sharedFaceModels()->embeddingModel();
    const auto a1 = model->embedding(faceCrop("johns/John_Simm/000288_00470387.jpg"));
    const auto a2 = model->embedding(faceCrop("johns/John_Simm/000297_00470170.jpg"));
    const auto b = model->embedding(faceCrop("johns/John_Salley/000179_02159509.jpg"));
    EXPECT_GT(cosine(a1, a2), 0.6);
    EXPECT_LT(cosine(a1, b), 0.4);
}

TEST(EmbeddingModel, cropsOfAnySizeAndGreyCropsAreAccepted)
{
    const auto model = ft::sharedFaceModels()->embeddingModel();
    const Image crop = faceCrop("johns/John_Simm/000288_00470387.jpg");
    Image small, grey;
    cv::resize(crop, small, {150, 150}, 0, 0, cv::INTER_AREA);
    cv::cvtColor(crop, grey, cv::COLOR_BGR2GRAY);
    const auto reference = model->embedding(crop);
    EXPECT_GT(cosine(reference, model->embedding(small)), 0.9);
    EXPECT_EQ(model->embedding(grey).size(), 512u);
}

TEST(EmbeddingModel, unsupportedPicturesAreRefused)
{
    const auto model = ft::sharedFaceModels()->embeddingModel();
    for (const Image &bad : {Image(), Image(224, 224, CV_16UC3), Image(224, 224, CV_8UC2)}) {
        try {
            model->embedding(bad);
            ADD_FAILURE() << "accepted type " << bad.type();
        } catch (const VisionException &e) {
            EXPECT_EQ(e.error(), VisionError::unsupportedImage);
        }
    }
}

TEST(EmbeddingModel, missingOrDamagedNetworkFilesAreTypedErrors)
{
    ft::TempDir dir;
    const auto landmarks = ft::sharedFaceModels()->landmarks();
    const auto errorOf = [&](const std::filesystem::path &path) {
        try {
            EmbeddingModel::create(path, landmarks);
        } catch (const VisionException &e) {
            return e.error();
        }
        ADD_FAILURE() << "loaded " << path;
        return VisionError::noOutput;
    };
    EXPECT_EQ(errorOf(dir / "absent.onnx"), VisionError::modelMissing);
    std::ofstream(dir / "garbage.onnx") << std::string(4096, '\x7f');
    EXPECT_EQ(errorOf(dir / "garbage.onnx"), VisionError::modelUnreadable);
    try {
        EmbeddingModel::create(platform::FaceModels::Paths::standard().embeddingNetwork, nullptr);
        ADD_FAILURE();
    } catch (const VisionException &e) {
        EXPECT_EQ(e.error(), VisionError::modelMissing);
    }
}
