#pragma once

#include "Platform/Vision/VectorUnit.h"

#include <vector>

namespace faciward::platform {

/// @brief The loops of a 3×3 depthwise convolution with padding 1 and stride
/// 1 or 2, one plane at a time, built for each vector unit the processor may
/// have; DepthwiseConvolution runs the widest one this processor has.
///
/// They read the plane where it lies: the zero border is where a load's lanes
/// are masked off, never a bordered copy of the plane.
class DepthwiseKernel
{
public:
    /// @brief Output rows [firstRow, lastRow) of one plane.
    struct Rows
    {
        const float *plane; ///< height × width input values
        int height, width, stride;
        int firstRow, lastRow;
        const float *weights; ///< the 3×3 kernel, row by row
        float bias;
        float slope; ///< the activation folded in: x < 0 ? slope · x : x (1: none)
        float *out;  ///< (lastRow − firstRow) rows of (width − 1) / stride + 1 values
    };

    using Function = void (*)(const Rows &);

    using Version = KernelVersion<Function>;

    /// @brief The versions this processor can run, the widest first; the
    /// last one runs on any x86-64 (and any other processor).
    static const std::vector<Version> &supported();

    /// @brief The widest of supported().
    static Function best() { return supported().front().function; }
};

} // namespace faciward::platform
