#include "Platform/Vision/EmbeddingModel.h"
#include "Platform/Vision/FaceLandmarks.h"
#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/FaceRectangles.h"
#include "Platform/Vision/VisionError.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <fstream>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
namespace fs = std::filesystem;
using platform::FaceModels;
using platform::Image;
using platform::VisionError;
using platform::VisionException;

namespace {

template<class F>
std::pair<std::optional<VisionError>, std::string> errorOf(F &&f)
{
    try {
        f();
    } catch (const VisionException &e) {
        return {e.error(), e.what()};
    }
    return {std::nullopt, {}};
}

std::string head(const fs::path &file, std::size_t bytes)
{
    std::ifstream in(file, std::ios::binary);
    std::string out(bytes, '\0');
    in.read(out.data(), std::streamsize(out.size()));
    out.resize(std::size_t(in.gcount()));
    return out;
}

} // namespace

// Every model file missing or damaged in every way: a typed error naming the file, never a crash.
TEST(FaceModels, missingOrDamagedModelFilesAreTypedErrorsNamingTheFile)
{
    ft::TempDir dir;
    const auto real = FaceModels::Paths::standard();
    std::ofstream(dir / "empty").flush();
    std::ofstream(dir / "text") << "this is not a model\n";
    std::ofstream(dir / "garbage") << std::string(4096, '\x7f');
    std::ofstream(dir / "half-detector", std::ios::binary) << head(real.faceDetector, fs::file_size(real.faceDetector) / 2);
    std::ofstream(dir / "short-landmarks", std::ios::binary) << head(real.landmarks, 1 << 20);
    struct Case
    {
        fs::path FaceModels::Paths::*file;
        fs::path replacement;
        VisionError error;
    };
    using P = FaceModels::Paths;
    const Case cases[] = {
        {&P::faceDetector, dir / "absent.onnx", VisionError::modelMissing},
        {&P::faceDetector, dir.path(), VisionError::modelMissing}, // a folder is no model
        {&P::faceDetector, dir / "empty", VisionError::modelUnreadable},
        {&P::faceDetector, dir / "text", VisionError::modelUnreadable},
        {&P::faceDetector, dir / "half-detector", VisionError::modelUnreadable},
        {&P::faceDetector, real.embeddingNetwork, VisionError::modelUnreadable}, // no "boxes" output
        {&P::embeddingNetwork, dir / "absent.onnx", VisionError::modelMissing},
        {&P::embeddingNetwork, dir / "garbage", VisionError::modelUnreadable},
        {&P::landmarks, dir / "absent.dat", VisionError::modelMissing},
        {&P::landmarks, dir / "empty", VisionError::modelUnreadable},
        {&P::landmarks, dir / "text", VisionError::modelUnreadable},
        {&P::landmarks, dir / "short-landmarks", VisionError::modelUnreadable},
    };
    for (const auto &c : cases) {
        auto paths = real;
        paths.*c.file = c.replacement;
        const auto [error, text] = errorOf([&] { FaceModels::load(paths); });
        EXPECT_EQ(error, c.error) << c.replacement;
        EXPECT_NE(text.find(c.replacement.filename().string()), std::string::npos) << text;
    }
    // The embedding model needs the landmark model to align its faces.
    EXPECT_EQ(errorOf([&] { platform::EmbeddingModel::create(real.embeddingNetwork, nullptr); }).first,
              VisionError::modelMissing);
}

// Each model refuses pictures it cannot read with a typed error; a one-pixel picture is no problem.
TEST(FaceModels, unsupportedPicturesAreRefusedByEveryModel)
{
    const auto models = ft::sharedFaceModels();
    EXPECT_TRUE(models->faceRectangles()->detect(Image(1, 1, CV_8UC3)).empty());
    for (const Image &bad : {Image(), Image(48, 64, CV_16UC3, cv::Scalar::all(1000)),
                             Image(48, 64, CV_8UC2, cv::Scalar::all(1)), Image(48, 64, CV_32FC3)}) {
        EXPECT_EQ(errorOf([&] { models->faceRectangles()->detect(bad); }).first, VisionError::unsupportedImage)
            << bad.type();
        EXPECT_EQ(errorOf([&] { models->embeddingModel()->embedding(bad); }).first, VisionError::unsupportedImage)
            << bad.type();
    }
    EXPECT_EQ(errorOf([&] { models->landmarks()->locate(Image(10, 10, CV_8UC1), {0, 0, 5, 5}); }).first,
              VisionError::unsupportedImage);
    for (const cv::Rect2d box : {cv::Rect2d(0, 0, 0, 0), cv::Rect2d(0, 0, -5, 5), cv::Rect2d(NAN, 0, 5, 5)})
        EXPECT_EQ(errorOf([&] { models->landmarks()->locate(Image(10, 10, CV_8UC3), box); }).first,
                  VisionError::inferenceFailed)
            << box;
}
