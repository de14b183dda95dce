#pragma once

namespace faciward::presence {

/// @brief The measures Similarity can compute, in this order.
enum class SimilarityMode { cosine, tanimoto, ochiai, jaccardIndex, jaccardDistance, dice, hamming };

} // namespace faciward::presence
