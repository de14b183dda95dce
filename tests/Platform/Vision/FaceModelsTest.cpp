#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/VisionError.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <fstream>

namespace ft = faciward::testing;
namespace platform = faciward::platform;
using platform::FaceModels;
using platform::VisionError;
using platform::VisionException;

namespace {

std::pair<VisionError, std::string> loadError(const FaceModels::Paths &paths)
{
    try {
        FaceModels::load(paths);
    } catch (const VisionException &e) {
        return {e.error(), e.what()};
    }
    ADD_FAILURE() << "loaded";
    return {VisionError::noOutput, {}};
}

} // namespace

TEST(FaceModels, theModelFolderComesFromTheEnvironmentWhenSet)
{
    {
        ft::EnvGuard env("FACIWARD_MODEL_DIR", "/somewhere/else");
        EXPECT_EQ(FaceModels::Paths::standard().faceDetector, "/somewhere/else/fr_detect.onnx");
        EXPECT_EQ(FaceModels::Paths::standard().embeddingNetwork, "/somewhere/else/fr_feature.onnx");
    }
    ft::EnvGuard empty("FACIWARD_MODEL_DIR", "");
    EXPECT_EQ(FaceModels::Paths::standard().faceDetector.filename(), "fr_detect.onnx");
    EXPECT_NE(FaceModels::Paths::standard().faceDetector.parent_path(), "");
}

TEST(FaceModels, aMissingFileIsNamedInTheError)
{
    ft::TempDir dir;
    const auto [error, text] = loadError(FaceModels::Paths::inFolder(dir.path()));
    EXPECT_EQ(error, VisionError::modelMissing);
    EXPECT_NE(text.find((dir / "fr_detect.onnx").string()), std::string::npos) << text;
}

TEST(FaceModels, aDamagedNetworkIsATypedError)
{
    ft::TempDir dir;
    const auto real = FaceModels::Paths::standard();
    std::filesystem::copy_file(real.faceDetector, dir / "fr_detect.onnx");
    std::ofstream(dir / "fr_feature.onnx") << "damaged";
    const auto [error, text] = loadError(FaceModels::Paths::inFolder(dir.path()));
    EXPECT_EQ(error, VisionError::modelUnreadable);
    EXPECT_NE(text.find("fr_feature.onnx"), std::string::npos) << text;
}

TEST(FaceModels, loadsFromAFolderGivenInTheEnvironment)
{
    ft::TempDir dir;
    const auto real = FaceModels::Paths::standard();
    std::filesystem::copy_file(real.faceDetector, dir / "fr_detect.onnx");
    std::filesystem::copy_file(real.embeddingNetwork, dir / "fr_feature.onnx");
    ft::EnvGuard env("FACIWARD_MODEL_DIR", dir.path().string());
    const auto models = FaceModels::load();
    ASSERT_TRUE(models);
    EXPECT_TRUE(models->faceRectangles());
    EXPECT_TRUE(models->landmarks());
    EXPECT_TRUE(models->embeddingModel());
}
