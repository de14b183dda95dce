#pragma once

// Stand-ins for the models, for tests of what is built on them. A fake frame
// carries its tag in the blue value of pixel (0, 0); a fake face is a filled
// square whose green value is the face's id, which the fake embedding model
// reads back from the middle of the crop it is given.

#include "Platform/Vision/EmbeddingModel.h"
#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/FaceRectangles.h"
#include "Platform/Vision/VisionError.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace faciward::testing {

struct FakeFace
{
    cv::Rect box;
    int id;
};

/// @brief A 64×64 frame tagged @p tag, holding @p faces.
inline platform::Image fakeFrame(int tag, const std::vector<FakeFace> &faces = {})
{
    platform::Image frame(64, 64, CV_8UC3, cv::Scalar::all(0));
    for (const auto &f : faces)
        frame(f.box).setTo(cv::Scalar(0, f.id, 0));
    frame.at<cv::Vec3b>(0, 0)[0] = static_cast<uchar>(tag);
    return frame;
}

/// @brief Answers, for each frame tag, the boxes it was told (or throws).
class FakeFaceRectangles final : public platform::FaceRectangles
{
public:
    std::map<int, std::vector<cv::Rect>> boxes;
    std::map<int, platform::VisionError> failures;
    /// @brief Called with the tag as a detection starts, on the detecting thread.
    std::function<void(int)> onDetect;

    std::vector<platform::FaceBox> detect(const platform::Image &image) const override
    {
        const int tag = image.at<cv::Vec3b>(0, 0)[0];
        if (onDetect)
            onDetect(tag);
        if (auto f = failures.find(tag); f != failures.end())
            throw platform::VisionException(f->second, "scripted");
        std::vector<platform::FaceBox> out;
        if (auto b = boxes.find(tag); b != boxes.end()) {
            for (const auto &r : b->second)
                out.push_back({cv::Rect2d(r), 0.9f});
        }
        return out;
    }
};

/// @brief Answers, for each face id, the embedding it was told (or throws).
class FakeEmbeddingModel final : public platform::EmbeddingModel
{
public:
    std::map<int, std::vector<double>> embeddings;
    std::map<int, platform::VisionError> failures;
    /// @brief Called with the face id as an embedding starts, on the embedding thread.
    std::function<void(int)> onEmbed;

    std::vector<double> embedding(const platform::Image &faceCrop) const override
    {
        const int id = faceCrop.at<cv::Vec3b>(faceCrop.rows / 2, faceCrop.cols / 2)[1];
        {
            std::lock_guard lock(m_mutex);
            ++m_calls;
        }
        if (onEmbed)
            onEmbed(id);
        if (auto f = failures.find(id); f != failures.end())
            throw platform::VisionException(f->second, "scripted");
        if (auto e = embeddings.find(id); e != embeddings.end())
            return e->second;
        return {};
    }

    int calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    mutable std::mutex m_mutex;
    mutable int m_calls = 0;
};

/// @brief Models made of the two fakes (no landmark model).
inline std::shared_ptr<const platform::FaceModels> fakeModels(std::shared_ptr<FakeFaceRectangles> rectangles,
                                                             std::shared_ptr<FakeEmbeddingModel> embedding)
{
    return std::make_shared<platform::FaceModels>(std::move(rectangles), nullptr, std::move(embedding));
}

} // namespace faciward::testing
