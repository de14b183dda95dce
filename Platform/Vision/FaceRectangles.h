#pragma once

#include "Platform/Vision/FaceBox.h"
#include "Platform/Vision/Image.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace faciward::platform {

/// @brief Finds the faces in a picture.
///
/// Implementations are safe for concurrent use from any number of threads.
class FaceRectangles
{
public:
    virtual ~FaceRectangles() = default;

    /// @brief The faces of @p image, largest first (equal sizes: more confident
    /// first). An empty list when there is none.
    /// @throws VisionException unsupportedImage for an empty picture or one that
    /// is not 8-bit grey, BGR or BGRA; inferenceFailed when the detector fails.
    virtual std::vector<FaceBox> detect(const Image &image) const = 0;

    /// @brief The neural detector over the network file at @p path (fr_detect.onnx).
    /// This is the detector of the application: it finds small and turned faces,
    /// and is the faster of the two (see bench/recognition). It brightens dark
    /// frames first, and looks again at a brightened copy of a frame that shows
    /// no face (LowLight), unless @p brightenDarkFrames is false, which is for
    /// the benchmark that measures what that gains.
    /// @throws VisionException modelMissing or modelUnreadable.
    static std::shared_ptr<const FaceRectangles> create(const std::filesystem::path &path,
                                                        bool brightenDarkFrames = true);

protected:
    /// @brief Puts @p faces in the order detect() promises.
    static void sortLargestFirst(std::vector<FaceBox> &faces);
};

} // namespace faciward::platform
