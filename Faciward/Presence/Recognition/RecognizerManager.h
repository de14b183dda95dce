#pragma once

#include "Platform/Error/CaseException.h"
#include "Faciward/Presence/Recognition/FrameRecognizer.h"
#include "Faciward/Presence/Recognition/Recognizer.h"

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace faciward::presence {

/// @brief Turns frames into answers: the live check (is the owner in each
/// frame?) and the enrolment embeddings (the embeddings of every face).
///
/// Frames are worked on two at a time, and the faces of a frame two at a time,
/// so one check has at most two detections and four embeddings in flight;
/// results always come back in frame order. The manager keeps nothing of a
/// call. Its callers load the models first (loadModel() or setModel()).
/// Calls may overlap, from any threads.
class RecognizerManager final : public FrameRecognizer
{
public:
    /// @brief Why a whole call failed.
    enum class Error { modelNotLoaded };

    /// @brief Carries an Error; what() is the case name.
    using Exception = platform::CaseException<Error>;

    /// @brief What one frame of a check showed.
    struct FrameCheck
    {
        enum class Outcome { owner, stranger, noFace, failed };
        Outcome outcome = Outcome::stranger;
        /// @brief For noFace and failed: the error's case name, e.g. "couldNotFindFace".
        std::string error;
    };

    /// @brief Reads the enrolled embeddings; called afresh for every face embedding.
    using EmbeddingsSource = std::function<std::vector<std::vector<double>>()>;
    /// @brief Reads the similarity threshold; called afresh for every comparison.
    using ThresholdSource = std::function<double()>;

    /// @brief How many frames, and how many faces of one frame, are worked on at once.
    static constexpr std::size_t concurrencyLimit = 2;

    /// @brief A manager that reads "embeddings" and "facePrecision" from the settings.
    RecognizerManager();
    /// @brief A manager that reads the enrolled embeddings and the threshold from
    /// the given functions, which must be safe to call from worker threads.
    RecognizerManager(EmbeddingsSource embeddings, ThresholdSource threshold);

    Recognizer::Model model() const;
    /// @brief Sets the models every later call uses.
    void setModel(Recognizer::Model model);

    bool hasModel() const override;
    /// @brief Loads the models with Recognizer::loadModel() and keeps them.
    void loadModel() override;

    /// @brief The live check: for each frame, whether the owner's face is in it.
    ///
    /// A frame is true when some face in it has an embedding whose cosine
    /// similarity with some enrolled embedding is strictly above the threshold.
    /// A frame whose detection or embedding fails is false, and the error's case
    /// name is written as one line on standard output (e.g. "couldNotFindFace").
    /// @throws Exception modelNotLoaded when frames are given and no model is set.
    std::vector<bool> recognize(const std::vector<Image> &frames) override;

    /// @brief As recognize(), telling apart a stranger, a frame without a face and
    /// a failure; writes nothing.
    std::vector<FrameCheck> check(const std::vector<Image> &frames) const;

    /// @brief The enrolment embeddings: those of every face of every frame, in
    /// frame order and, within a frame, in face order. A frame whose detection or
    /// embedding fails gives nothing; embeddings that are empty, hold a number
    /// that is not finite, or are all zeros (they could never match) are dropped.
    /// @throws Exception modelNotLoaded when frames are given and no model is set.
    std::vector<std::vector<double>> embeddings(const std::vector<Image> &frames) const;

    /// @brief The owner test of one frame's face embeddings (see recognize()).
    bool matchesStoredEmbeddings(const std::vector<std::vector<double>> &faceEmbeddings) const;

private:
    Recognizer::Model requireModel() const;
    FrameCheck checkFrame(const Image &frame, const Recognizer::Model &model) const;

    EmbeddingsSource m_embeddings;
    ThresholdSource m_threshold;
    mutable std::mutex m_modelMutex;
    Recognizer::Model m_model;
};

/// @brief The case name, e.g. "modelNotLoaded".
std::string_view name(RecognizerManager::Error error);

} // namespace faciward::presence
