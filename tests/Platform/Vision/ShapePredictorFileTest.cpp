#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/ShapePredictorFile.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <fstream>

using faciward::platform::ShapePredictorFile;

TEST(ShapePredictorFile, readsWhatDlibReads)
{
    const auto path = faciward::platform::FaceModels::Paths::standard().landmarks;
    const ShapePredictorFile ours = ShapePredictorFile::read(path);
    ShapePredictorFile dlibs;
    std::ifstream in(path, std::ios::binary);
    dlib::deserialize(dlibs.version, in);
    dlib::deserialize(dlibs.meanShape, in);
    dlib::deserialize(dlibs.forests, in);
    dlib::deserialize(dlibs.anchors, in);
    dlib::deserialize(dlibs.deltas, in);

    EXPECT_EQ(ours.version, dlibs.version);
    EXPECT_TRUE(ours.meanShape == dlibs.meanShape);
    EXPECT_EQ(ours.anchors, dlibs.anchors);
    EXPECT_EQ(ours.deltas, dlibs.deltas);
    ASSERT_EQ(ours.forests.size(), dlibs.forests.size());
    for (std::size_t c = 0; c < ours.forests.size(); ++c) {
        ASSERT_EQ(ours.forests[c].size(), dlibs.forests[c].size());
        for (std::size_t t = 0; t < ours.forests[c].size(); ++t) {
            const auto &a = ours.forests[c][t];
            const auto &b = dlibs.forests[c][t];
            ASSERT_EQ(a.splits.size(), b.splits.size());
            for (std::size_t s = 0; s < a.splits.size(); ++s) {
                ASSERT_EQ(a.splits[s].idx1, b.splits[s].idx1);
                ASSERT_EQ(a.splits[s].idx2, b.splits[s].idx2);
                ASSERT_EQ(a.splits[s].thresh, b.splits[s].thresh);
            }
            ASSERT_EQ(a.leaf_values, b.leaf_values);
        }
    }
}

TEST(ShapePredictorFile, damagedFilesAreSerializationErrors)
{
    faciward::testing::TempDir dir;
    // Version 1 and a one-number mean shape, then: cut short inside the
    // number; a list count far beyond the file; a number in dlib's old text
    // form; a negative list count.
    const std::string head("\x01\x01\x81\x01\x81\x01", 6), one("\x01\x01\x01\x00", 4);
    const std::string contents[] = {head + std::string("\x01", 1), head + one + "\x01\xff", head + "\x35",
                                    head + one + "\x81\x05"};
    for (const auto &bytes : contents) {
        std::ofstream(dir / "bad.dat", std::ios::binary) << bytes;
        EXPECT_THROW(ShapePredictorFile::read(dir / "bad.dat"), dlib::serialization_error);
    }
    EXPECT_THROW(ShapePredictorFile::read(dir / "absent.dat"), dlib::serialization_error);
    // Whole, with three empty lists, the same start reads.
    std::ofstream(dir / "good.dat", std::ios::binary) << head + one + std::string("\x01\x00\x01\x00\x01\x00", 6);
    const ShapePredictorFile good = ShapePredictorFile::read(dir / "good.dat");
    EXPECT_EQ(good.version, 1);
    EXPECT_EQ(good.meanShape.size(), 1);
    EXPECT_EQ(good.meanShape(0), 1.0f);
}
