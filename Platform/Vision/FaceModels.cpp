#include "Platform/Vision/FaceModels.h"

#include "Platform/Vision/VisionError.h"

#include <cstdlib>
#include <future>

namespace faciward::platform {

FaceModels::Paths FaceModels::Paths::inFolder(const std::filesystem::path &modelDir)
{
    return {modelDir / "fr_detect.onnx", modelDir / "fr_feature.onnx", FACIWARD_DEFAULT_LANDMARK_MODEL};
}

FaceModels::Paths FaceModels::Paths::standard()
{
    const char *dir = std::getenv("FACIWARD_MODEL_DIR");
    return inFolder(dir && *dir ? std::filesystem::path(dir) : std::filesystem::path(FACIWARD_DEFAULT_MODEL_DIR));
}

FaceModels::FaceModels(std::shared_ptr<const FaceRectangles> faceRectangles,
                       std::shared_ptr<const FaceLandmarks> landmarks,
                       std::shared_ptr<const EmbeddingModel> embeddingModel)
    : m_faceRectangles(std::move(faceRectangles))
    , m_landmarks(std::move(landmarks))
    , m_embeddingModel(std::move(embeddingModel))
{
}

std::shared_ptr<const FaceModels> FaceModels::load(const Paths &paths)
{
    // Say which file is missing before spending a second on the others.
    for (const auto &path : {paths.faceDetector, paths.embeddingNetwork, paths.landmarks}) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            throw VisionException(VisionError::modelMissing, path.string());
    }
    // The landmark model takes most of the time; the networks load beside it.
    auto landmarks = std::async(std::launch::async, [&] { return FaceLandmarks::load(paths.landmarks); });
    std::shared_ptr<const FaceRectangles> rectangles;
    try {
        rectangles = FaceRectangles::create(paths.faceDetector);
    } catch (...) {
        landmarks.wait();
        throw;
    }
    auto shape = landmarks.get();
    auto embedding = EmbeddingModel::create(paths.embeddingNetwork, shape);
    return std::make_shared<FaceModels>(std::move(rectangles), std::move(shape), std::move(embedding));
}

} // namespace faciward::platform
