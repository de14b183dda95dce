#pragma once

#include "Platform/Vision/HugePageAllocator.h"

#include <dlib/serialize.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace faciward::platform {

/// @brief The contents of a dlib shape predictor file, laid out for evaluation.
///
/// dlib decodes every number of its files through an input stream, one call
/// per byte group, into a small matrix per leaf: the 68-point predictor's 16
/// million numbers took a second of the application's start. This reader
/// decodes the same format from the file read whole into memory, straight into
/// one array per forest for its splits and one for its leaves, several times
/// faster and without a second copy.
struct ShapePredictorFile
{
    struct Split
    {
        std::uint32_t idx1; // feature pixels compared
        std::uint32_t idx2;
        float thresh;
    };

    /// @brief One cascade's regression trees, tree after tree in the file's
    /// order: the order they are walked, so that a tree's place is arithmetic
    /// and its splits are read from memory as one stream.
    struct Forest
    {
        std::vector<Split> splits;             // of every tree, each tree's in node order
        std::vector<std::uint32_t> firstSplit; // of each tree, then the end of the last
        /// Of every tree, leaf after leaf, each as many numbers as the mean
        /// shape. A tree has one leaf more than splits, so tree t's first leaf
        /// is leaf firstSplit[t] + t.
        std::vector<float, HugePageAllocator<float>> leaves;

        std::size_t trees() const { return firstSplit.empty() ? 0 : firstSplit.size() - 1; }
    };

    struct Offset
    {
        float x;
        float y;
    };

    int version = 0;
    std::vector<float> meanShape;
    std::vector<Forest> forests;
    std::vector<std::vector<unsigned long>> anchors;
    std::vector<std::vector<Offset>> deltas;

    /// @brief Reads the file at @p path.
    /// @throws dlib::serialization_error when it cannot be read or decoded, or
    /// when a tree's leaves do not match its splits or the mean shape;
    /// std::bad_alloc when it claims more than memory holds.
    static ShapePredictorFile read(const std::filesystem::path &path);
};

} // namespace faciward::platform
