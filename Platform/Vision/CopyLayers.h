#pragma once

#include <opencv2/dnn.hpp>

namespace faciward::platform {

/// @brief The slices and joins of the face detector's box decoding, for
/// OpenCV's dnn module, as plain copies.
///
/// The detector ends by cutting its [1, 4420, 4] box tensor into halves along
/// the last axis and joining them again, six slices and two joins. OpenCV 4.6
/// copies such a block element row by element row through its general
/// n-dimensional copy: 40 to 85 µs each, 0.4 ms of the detector's 6. These
/// layers copy the same values in runs; any case they do not take (steps,
/// negative starts, a join along the channels, which OpenCV folds away) is
/// left to OpenCV's own layer, kept inside.
class CopyLayers
{
public:
    /// @brief Makes OpenCV build every Slice and Concat it reads from now on
    /// through these layers. Once per process; thread-safe.
    static void install();

    /// @brief The slice layer for @p params.
    static cv::Ptr<cv::dnn::Layer> createSlice(cv::dnn::LayerParams &params);

    /// @brief The join layer for @p params: OpenCV's own along axis 1.
    static cv::Ptr<cv::dnn::Layer> createConcat(cv::dnn::LayerParams &params);
};

} // namespace faciward::platform
