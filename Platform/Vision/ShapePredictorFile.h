#pragma once

#include <dlib/image_processing/shape_predictor.h>

#include <filesystem>
#include <vector>

namespace faciward::platform {

/// @brief The contents of a dlib shape predictor file, as dlib's own readers
/// give them.
///
/// dlib decodes every number of its files through an input stream, one call
/// per byte group: the 68-point predictor's 16 million numbers took a second of
/// the application's start. This reader decodes the same format from the file
/// read whole into memory, several times faster.
struct ShapePredictorFile
{
    int version = 0;
    dlib::matrix<float, 0, 1> meanShape;
    std::vector<std::vector<dlib::impl::regression_tree>> forests;
    std::vector<std::vector<unsigned long>> anchors;
    std::vector<std::vector<dlib::vector<float, 2>>> deltas;

    /// @brief Reads the file at @p path.
    /// @throws dlib::serialization_error when it cannot be read or decoded,
    /// std::bad_alloc when it claims more than memory holds.
    static ShapePredictorFile read(const std::filesystem::path &path);
};

} // namespace faciward::platform
