#pragma once

#include "Platform/Vision/VectorUnit.h"

#include <cstddef>
#include <vector>

namespace faciward::platform {

/// @brief The leaves that one cascade of the landmark predictor's trees chose,
/// added to the shape (FaceLandmarks), built for each vector unit the
/// processor may have.
///
/// Each number of the shape gets the same float sums in the same order
/// whatever the vector width, so the points do not depend on the processor.
class LeafSum
{
public:
    /// @brief The numbers of a shape and of a leaf: x0, y0, x1, y1, … of 68 points.
    static constexpr std::size_t shapeSize = 2 * 68;

    /// @brief Adds the @p count leaves @p leaves to @p shape, each in turn.
    using Function = void (*)(float *shape, const float *const *leaves, std::size_t count);
    using Version = KernelVersion<Function>;

    /// @brief The versions this processor can run, the widest first; the
    /// last one runs on any x86-64 (and any other processor).
    static const std::vector<Version> &supported();

    /// @brief The widest of supported().
    static Function best() { return supported().front().function; }
};

} // namespace faciward::platform
