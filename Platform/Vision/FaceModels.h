#pragma once

#include "Platform/Vision/EmbeddingModel.h"
#include "Platform/Vision/FaceLandmarks.h"
#include "Platform/Vision/FaceRectangles.h"

#include <filesystem>
#include <memory>

namespace faciward::platform {

/// @brief The loaded models of the face pipeline, shared by every detector,
/// recognizer and pose measurement of a process: the face detector, the
/// landmark model and the embedding model. Loaded once; never changed.
class FaceModels
{
public:
    /// @brief Where the model files are.
    struct Paths
    {
        std::filesystem::path faceDetector;
        std::filesystem::path embeddingNetwork;
        std::filesystem::path landmarks;

        /// @brief fr_detect.onnx and fr_feature.onnx in $FACIWARD_MODEL_DIR when
        /// it is set and not empty, else in the folder chosen at build time; the
        /// landmark model where the build found it.
        static Paths standard();
        /// @brief The two networks in @p modelDir; the landmark model where the build found it.
        static Paths inFolder(const std::filesystem::path &modelDir);
    };

    FaceModels(std::shared_ptr<const FaceRectangles> faceRectangles, std::shared_ptr<const FaceLandmarks> landmarks,
               std::shared_ptr<const EmbeddingModel> embeddingModel);

    /// @brief Loads the three models (about a second, most of it the landmark model).
    /// @throws VisionException modelMissing or modelUnreadable, naming the file.
    static std::shared_ptr<const FaceModels> load(const Paths &paths = Paths::standard());

    const std::shared_ptr<const FaceRectangles> &faceRectangles() const { return m_faceRectangles; }
    /// @brief May be null in a pipeline put together from parts that need no landmarks.
    const std::shared_ptr<const FaceLandmarks> &landmarks() const { return m_landmarks; }
    const std::shared_ptr<const EmbeddingModel> &embeddingModel() const { return m_embeddingModel; }

private:
    std::shared_ptr<const FaceRectangles> m_faceRectangles;
    std::shared_ptr<const FaceLandmarks> m_landmarks;
    std::shared_ptr<const EmbeddingModel> m_embeddingModel;
};

} // namespace faciward::platform
