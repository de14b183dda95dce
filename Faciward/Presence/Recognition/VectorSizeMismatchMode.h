#pragma once

namespace faciward::presence {

/// @brief What Similarity does with two vectors of different lengths when the
/// measure needs equal ones: refuse them (score -1), or cut the longer one.
enum class VectorSizeMismatchMode { bail, truncate };

} // namespace faciward::presence
