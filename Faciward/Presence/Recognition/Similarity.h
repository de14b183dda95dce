#pragma once

#include "Faciward/Presence/Recognition/SimilarityMode.h"
#include "Faciward/Presence/Recognition/VectorSizeMismatchMode.h"

#include <set>
#include <vector>

namespace faciward::presence {

/// @brief Scores how alike two vectors of numbers are.
///
/// A new instance computes the cosine similarity of two non-empty vectors of
/// equal length, which is all the owner test uses. The other measures, and the
/// rules for empty vectors and for vectors of different lengths, are chosen
/// through the public fields; the active value of a list is its last element.
class Similarity
{
public:
    /// @brief The active measure is the last element; with none, every score is -1.
    std::vector<SimilarityMode> currentSimMode{SimilarityMode::cosine};
    /// @brief The active handling of different lengths is the last element; none counts as bail.
    std::vector<VectorSizeMismatchMode> currentMismatchMode{VectorSizeMismatchMode::bail};
    /// @brief Measures for which both vectors must have one length. (Spelled so on purpose: it is the name callers know.)
    std::set<SimilarityMode> encforceEqualVectorSizes{SimilarityMode::cosine, SimilarityMode::tanimoto,
                                                      SimilarityMode::hamming};
    /// @brief Measures that refuse an empty vector.
    std::set<SimilarityMode> bailOnEmptyInput{SimilarityMode::cosine, SimilarityMode::tanimoto,
                                              SimilarityMode::ochiai};
    /// @brief Measures that accept two empty vectors.
    std::set<SimilarityMode> allowEmptyInputs{SimilarityMode::hamming};

    /// @brief The active measure of @p a and @p b, or -1 when a rule refuses the pair.
    ///
    /// Cosine lies in [-1, 1] and is not a number when either vector is all zeros,
    /// or has a sum of squares so small that it underflows (below the smallest
    /// normal double) or so large or broken that it is not finite. Cosine and
    /// Tanimoto are never infinite: what has no direction scores not a number,
    /// which passes no threshold;
    /// the set measures (Ochiai, Jaccard index and distance, Dice) count distinct
    /// values (0 and -0 are one value, a NaN equals nothing); Hamming counts the
    /// positions that differ.
    double score(const std::vector<double> &a, const std::vector<double> &b) const;
};

} // namespace faciward::presence
