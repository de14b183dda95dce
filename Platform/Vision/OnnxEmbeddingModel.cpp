#include "Platform/Vision/EmbeddingModel.h"

#include "Platform/Vision/FaceAlignment.h"
#include "Platform/Vision/FaceCrop.h"
#include "Platform/Vision/InferenceThreads.h"
#include "Platform/Vision/LowLight.h"
#include "Platform/Vision/OnnxNetwork.h"
#include "Platform/Vision/VisionError.h"

namespace faciward::platform {

namespace {

class OnnxEmbeddingModel final : public EmbeddingModel
{
public:
    OnnxEmbeddingModel(const std::filesystem::path &networkPath, std::shared_ptr<const FaceLandmarks> landmarks)
        : m_landmarks(std::move(landmarks))
        , m_network(OnnxNetwork::load(
              networkPath, {"output"},
              cv::Mat(std::vector<int>{1, 3, FaceAlignment::size, FaceAlignment::size}, CV_32F, cv::Scalar(0)), 2))
    {
    }

    std::vector<double> embedding(const Image &faceCrop) const override
    {
        const InferenceThreads::Call call;
        const std::optional<Image> bgr = bgrImage(faceCrop);
        if (!bgr)
            throw VisionException(VisionError::unsupportedImage, "faces are embedded from 8-bit grey, BGR or BGRA pictures");

        // A dark face (a dim room, the shadow of a monitor) is smoothed and
        // brightened first, judged by the face alone: its landmarks and its
        // embedding then come out as in normal light.
        const cv::Rect2d faceBox = FaceCrop::faceBoxInCrop(bgr->size());
        Image face = *bgr;
        double gain = 1.0;
        try {
            gain = LowLight::faceGain(face(cv::Rect(faceBox) & cv::Rect(0, 0, face.cols, face.rows)));
        } catch (const cv::Exception &e) {
            throw VisionException(VisionError::inferenceFailed, e.what());
        }
        if (gain != 1.0)
            face = LowLight::brightened(face, gain, LowLight::faceSmoothing);

        const FaceLandmarks::Points landmarks = m_landmarks->locate(face, faceBox);
        Image aligned;
        cv::Mat blob;
        try {
            aligned = FaceAlignment::align(face, FaceAlignment::fivePoints(landmarks));
            // The network was trained on (pixel - 127) / 128, channels in BGR order.
            blob = OnnxNetwork::blob(aligned);
        } catch (const cv::Exception &e) {
            throw VisionException(VisionError::inferenceFailed, e.what());
        }
        const std::vector<cv::Mat> outputs = m_network->run(blob);
        if (outputs.empty() || outputs[0].total() == 0)
            throw VisionException(VisionError::noOutput, "the embedding network gave no numbers");
        const cv::Mat &out = outputs[0];
        const float *values = out.ptr<float>();
        return std::vector<double>(values, values + out.total());
    }

private:
    std::shared_ptr<const FaceLandmarks> m_landmarks;
    std::unique_ptr<OnnxNetwork> m_network;
};

} // namespace

std::shared_ptr<const EmbeddingModel> EmbeddingModel::create(const std::filesystem::path &networkPath,
                                                            std::shared_ptr<const FaceLandmarks> landmarks)
{
    if (!landmarks)
        throw VisionException(VisionError::modelMissing, "landmark model");
    return std::make_shared<OnnxEmbeddingModel>(networkPath, std::move(landmarks));
}

} // namespace faciward::platform
