#pragma once

#include "Faciward/Presence/Recognition/FrameRecognizer.h"
#include "Faciward/Presence/Recognition/RecognizerManager.h"

#include <functional>
#include <string>

namespace faciward::shell {

/// @brief The engine's recognition in the runner: the recognizer manager's
/// answers, with each frame that could not be checked described in one line
/// handed to a report instead of standard output, which the runner keeps for
/// its events.
///
/// Called from one worker thread at a time; so is the report.
class ReportingRecognizer final : public presence::FrameRecognizer
{
public:
    /// @brief Receives lines such as "frame 2 of 5: couldNotFindFace".
    using Report = std::function<void(const std::string &line)>;

    /// @param manager must outlive this object.
    ReportingRecognizer(presence::RecognizerManager &manager, Report report);

    bool hasModel() const override;
    void loadModel() override;
    /// @brief True for the frames in which the owner's face is; a frame without
    /// a face, or whose check failed, is false and reported.
    std::vector<bool> recognize(const std::vector<platform::Image> &frames) override;

private:
    presence::RecognizerManager &m_manager;
    Report m_report;
};

} // namespace faciward::shell
