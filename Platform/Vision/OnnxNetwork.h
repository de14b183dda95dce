#pragma once

#include <opencv2/core/mat.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace faciward::platform {

/// @brief A network file run through OpenCV's dnn module, safe for concurrent use.
///
/// An OpenCV network keeps its buffers inside, so two threads may not run one
/// network at once. The file's bytes are read once; each thread that runs the
/// network at a moment when all copies are busy gets a copy of its own, made
/// from those bytes. At most as many copies exist as callers ever ran at once.
class OnnxNetwork
{
public:
    /// @brief Reads the network at @p path, whose outputs are @p outputNames,
    /// and runs it once on @p warmUpInput so that the first real call is not
    /// slower than the others.
    /// @throws VisionException modelMissing or modelUnreadable.
    static std::unique_ptr<OnnxNetwork> load(const std::filesystem::path &path, std::vector<std::string> outputNames,
                                             const cv::Mat &warmUpInput, std::size_t copies);

    ~OnnxNetwork();
    OnnxNetwork(const OnnxNetwork &) = delete;
    OnnxNetwork &operator=(const OnnxNetwork &) = delete;

    /// @brief The input both face networks take for the 8-bit picture
    /// @p picture: (value − 127) / 128, a plane for each of its channels, in
    /// its own order (BGR stays BGR), as cv::dnn::blobFromImage makes it with
    /// these values, in two passes instead of its four.
    /// @throws VisionException inferenceFailed for a picture of another depth.
    static cv::Mat blob(const cv::Mat &picture);

    /// @brief Runs the network on @p blob (NCHW, 32-bit float) and returns its
    /// outputs in the order of the output names.
    /// @throws VisionException inferenceFailed.
    std::vector<cv::Mat> run(const cv::Mat &blob) const;

private:
    struct Private;
    explicit OnnxNetwork(std::unique_ptr<Private> d);
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
