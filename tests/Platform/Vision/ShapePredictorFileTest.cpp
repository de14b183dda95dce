#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/ShapePredictorFile.h"
#include "tests/support/Guards.h"

#include <dlib/image_processing/shape_predictor.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include <sys/resource.h>

using faciward::platform::ShapePredictorFile;

TEST(ShapePredictorFile, readsWhatDlibReads)
{
    const auto path = faciward::platform::FaceModels::Paths::standard().landmarks;
    const ShapePredictorFile ours = ShapePredictorFile::read(path);
    int version = 0;
    dlib::matrix<float, 0, 1> meanShape;
    std::vector<std::vector<dlib::impl::regression_tree>> forests;
    std::vector<std::vector<unsigned long>> anchors;
    std::vector<std::vector<dlib::vector<float, 2>>> deltas;
    std::ifstream in(path, std::ios::binary);
    dlib::deserialize(version, in);
    dlib::deserialize(meanShape, in);
    dlib::deserialize(forests, in);
    dlib::deserialize(anchors, in);
    dlib::deserialize(deltas, in);

    EXPECT_EQ(ours.version, version);
    EXPECT_EQ(ours.meanShape, std::vector<float>(meanShape.begin(), meanShape.end()));
    EXPECT_EQ(ours.anchors, anchors);
    ASSERT_EQ(ours.deltas.size(), deltas.size());
    for (std::size_t c = 0; c < deltas.size(); ++c) {
        ASSERT_EQ(ours.deltas[c].size(), deltas[c].size());
        for (std::size_t i = 0; i < deltas[c].size(); ++i) {
            ASSERT_EQ(ours.deltas[c][i].x, deltas[c][i].x());
            ASSERT_EQ(ours.deltas[c][i].y, deltas[c][i].y());
        }
    }
    // Each tree's splits and leaves where the flat arrays say, in the file's order.
    const std::size_t leafSize = ours.meanShape.size();
    ASSERT_EQ(ours.forests.size(), forests.size());
    for (std::size_t c = 0; c < forests.size(); ++c) {
        const auto &forest = ours.forests[c];
        ASSERT_EQ(forest.trees(), forests[c].size());
        std::size_t leaves = 0;
        for (std::size_t t = 0; t < forests[c].size(); ++t) {
            const auto &tree = forests[c][t];
            const std::size_t first = forest.firstSplit[t];
            ASSERT_EQ(forest.firstSplit[t + 1] - first, tree.splits.size());
            for (std::size_t s = 0; s < tree.splits.size(); ++s) {
                ASSERT_EQ(forest.splits[first + s].idx1, tree.splits[s].idx1);
                ASSERT_EQ(forest.splits[first + s].idx2, tree.splits[s].idx2);
                ASSERT_EQ(forest.splits[first + s].thresh, tree.splits[s].thresh);
            }
            ASSERT_EQ(first + t, leaves);
            for (const auto &leaf : tree.leaf_values) {
                ASSERT_EQ(std::size_t(leaf.size()), leafSize);
                ASSERT_TRUE(std::equal(leaf.begin(), leaf.end(), forest.leaves.begin() + leaves * leafSize));
                ++leaves;
            }
        }
        EXPECT_EQ(forest.leaves.size(), leaves * leafSize);
    }
}

TEST(ShapePredictorFile, damagedFilesAreSerializationErrors)
{
    faciward::testing::TempDir dir;
    // Version 1 and a one-number mean shape; a forest of one tree with one
    // split (features 0 and 1, threshold 1) and the count of its leaves.
    const std::string head("\x01\x01\x81\x01\x81\x01", 6), one("\x01\x01\x01\x00", 4);
    const std::string tree = head + one + std::string("\x01\x01\x01\x01\x01\x01\x01\x00\x01\x01", 10) + one;
    const std::string column = std::string("\x01\x01\x01\x01", 4) + one;
    // Cut short inside the number; a list count far beyond the file; a number
    // in dlib's old text form; a negative list count; a tree with as many
    // leaves as splits; a leaf of two numbers against a mean shape of one.
    const std::string contents[] = {head + std::string("\x01", 1),
                                    head + one + "\x01\xff",
                                    head + "\x35",
                                    head + one + "\x81\x05",
                                    tree + std::string("\x01\x01", 2) + column,
                                    tree + std::string("\x01\x02\x01\x02\x01\x01", 6) + one + one + column};
    for (const auto &bytes : contents) {
        std::ofstream(dir / "bad.dat", std::ios::binary) << bytes;
        EXPECT_THROW(ShapePredictorFile::read(dir / "bad.dat"), dlib::serialization_error);
    }
    EXPECT_THROW(ShapePredictorFile::read(dir / "absent.dat"), dlib::serialization_error);
    EXPECT_THROW(ShapePredictorFile::read(dir.path()), dlib::serialization_error); // a folder opens, but has no size
    // Whole, with three empty lists, the same start reads.
    std::ofstream(dir / "good.dat", std::ios::binary) << head + one + std::string("\x01\x00\x01\x00\x01\x00", 6);
    const ShapePredictorFile good = ShapePredictorFile::read(dir / "good.dat");
    EXPECT_EQ(good.version, 1);
    EXPECT_EQ(good.meanShape, std::vector<float>{1.0f});
    // So does the tree with its two leaves, laid flat.
    std::ofstream(dir / "tree.dat", std::ios::binary)
        << tree + std::string("\x01\x02", 2) + column + column + std::string("\x01\x00\x01\x00", 4);
    const ShapePredictorFile withTree = ShapePredictorFile::read(dir / "tree.dat");
    ASSERT_EQ(withTree.forests.size(), 1u);
    EXPECT_EQ(withTree.forests[0].firstSplit, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(std::vector<float>(withTree.forests[0].leaves.begin(), withTree.forests[0].leaves.end()),
              (std::vector<float>{1.0f, 1.0f}));
}

TEST(ShapePredictorFile, aDamagedListCountClaimsNoMemoryBeyondWhatItDecodes)
{
    // A count of forests as large as the rest of the file (8 MB of bytes that
    // are no forest): the reader must fail at the first of them, without
    // first making room for millions of forests, many times the file's size.
    faciward::testing::TempDir dir;
    const std::size_t claimed = std::size_t(8) << 20;
    const std::string head("\x01\x01\x81\x01\x81\x01\x01\x01\x01\x00", 10); // version 1, mean shape {1}
    std::string count("\x04", 1);
    for (int b = 0; b < 4; ++b)
        count += char((claimed >> (8 * b)) & 0xFF);
    std::ofstream(dir / "claims.dat", std::ios::binary) << head + count + std::string(claimed, '\x35');
    // In a child of its own, whose peak memory starts at what it has at the
    // fork, so that the growth of the peak is this read's alone.
    const auto peakMb = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss / 1024;
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // the child runs this test alone, in a new process
    EXPECT_EXIT(
        {
            const long before = peakMb();
            bool refused = false;
            try {
                ShapePredictorFile::read(dir / "claims.dat");
            } catch (const dlib::serialization_error &) {
                refused = true;
            } catch (...) {
            }
            const long grown = peakMb() - before;
            std::fprintf(stderr, "refused %d, peak grown by %ld MB\n", int(refused), grown);
            std::_Exit(refused && grown < 100 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "refused 1");
}
