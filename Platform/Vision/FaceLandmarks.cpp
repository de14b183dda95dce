#include "Platform/Vision/FaceLandmarks.h"

#include "Platform/Vision/ShapePredictorFile.h"
#include "Platform/Vision/VisionError.h"

#include <dlib/image_processing/shape_predictor.h>

#include <cmath>
#include <fstream>

namespace faciward::platform {

// The predictor is a cascade of regression forests over pixel differences
// (dlib's shape_predictor). Its file is read with dlib's own readers, but it is
// run by the loops below: dlib's evaluation adds every leaf through a BLAS call
// and rounds the points to whole pixels, which made it four times slower than
// this and coarser.
struct FaceLandmarks::Private
{
    struct Split
    {
        std::uint32_t idx1;
        std::uint32_t idx2;
        float thresh;
    };
    struct Tree
    {
        std::vector<Split> splits;
        std::vector<float> leaves; // leaf count × shape size
    };
    struct Cascade
    {
        std::vector<Tree> trees;
        std::vector<std::uint32_t> anchors; // shape point each feature pixel hangs on
        std::vector<cv::Point2f> deltas;    // its offset from that point, in the mean shape
    };

    std::vector<float> meanShape; // x0, y0, x1, y1, … in the unit square of the face box
    std::vector<Cascade> cascades;

    std::size_t parts() const { return meanShape.size() / 2; }
};

namespace {

// The best rotation-and-scale (no shift) taking the centred @p from onto the
// centred @p to, as its 2x2 matrix [a -b; b a].
cv::Matx22f rotationScale(const std::vector<float> &from, const std::vector<float> &to)
{
    const std::size_t n = from.size() / 2;
    double mfx = 0, mfy = 0, mtx = 0, mty = 0;
    for (std::size_t i = 0; i < n; ++i) {
        mfx += from[2 * i];
        mfy += from[2 * i + 1];
        mtx += to[2 * i];
        mty += to[2 * i + 1];
    }
    mfx /= n;
    mfy /= n;
    mtx /= n;
    mty /= n;
    double spread = 0, dot = 0, cross = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double px = from[2 * i] - mfx, py = from[2 * i + 1] - mfy;
        const double qx = to[2 * i] - mtx, qy = to[2 * i + 1] - mty;
        spread += px * px + py * py;
        dot += px * qx + py * qy;
        cross += px * qy - py * qx;
    }
    if (spread <= 0)
        return cv::Matx22f::eye();
    const float a = static_cast<float>(dot / spread);
    const float b = static_cast<float>(cross / spread);
    return cv::Matx22f(a, -b, b, a);
}


// How many leaves ahead of the one being added are fetched from memory.
constexpr std::size_t prefetchAhead = 8;

} // namespace

FaceLandmarks::FaceLandmarks(std::unique_ptr<Private> d)
    : d(std::move(d))
{
}

FaceLandmarks::~FaceLandmarks() = default;

std::shared_ptr<const FaceLandmarks> FaceLandmarks::load(const std::filesystem::path &path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw VisionException(VisionError::modelMissing, path.string());
    auto d = std::make_unique<Private>();
    const auto unreadable = [&path](const std::string &why) {
        return VisionException(VisionError::modelUnreadable, path.string() + " (" + why + ")");
    };
    try {
        ShapePredictorFile file = ShapePredictorFile::read(path);
        if (file.version != 1)
            throw unreadable("not a shape predictor");
        const auto &mean = file.meanShape;
        auto &forests = file.forests;
        const auto &anchors = file.anchors;
        const auto &deltas = file.deltas;

        const std::size_t shapeSize = static_cast<std::size_t>(mean.size());
        if (shapeSize != 2 * std::tuple_size_v<Points> || forests.size() != anchors.size() ||
            forests.size() != deltas.size())
            throw unreadable("not a 68-point shape predictor");
        d->meanShape.assign(mean.begin(), mean.end());
        for (std::size_t c = 0; c < forests.size(); ++c) {
            Private::Cascade cascade;
            if (anchors[c].size() != deltas[c].size())
                throw unreadable("damaged cascade");
            for (std::size_t i = 0; i < anchors[c].size(); ++i) {
                if (anchors[c][i] >= d->parts())
                    throw unreadable("damaged cascade");
                cascade.anchors.push_back(static_cast<std::uint32_t>(anchors[c][i]));
                cascade.deltas.emplace_back(deltas[c][i].x(), deltas[c][i].y());
            }
            for (const auto &tree : forests[c]) {
                Private::Tree t;
                if (tree.leaf_values.size() != tree.splits.size() + 1)
                    throw unreadable("damaged tree");
                for (const auto &s : tree.splits) {
                    if (s.idx1 >= cascade.anchors.size() || s.idx2 >= cascade.anchors.size())
                        throw unreadable("damaged tree");
                    t.splits.push_back({static_cast<std::uint32_t>(s.idx1), static_cast<std::uint32_t>(s.idx2), s.thresh});
                }
                for (const auto &leaf : tree.leaf_values) {
                    if (static_cast<std::size_t>(leaf.size()) != shapeSize)
                        throw unreadable("damaged tree");
                    t.leaves.insert(t.leaves.end(), leaf.begin(), leaf.end());
                }
                cascade.trees.push_back(std::move(t));
            }
            d->cascades.push_back(std::move(cascade));
            // dlib's copy goes as ours grows, so the two never fill memory together.
            std::vector<dlib::impl::regression_tree>().swap(forests[c]);
        }
    } catch (const VisionException &) {
        throw;
    } catch (const std::exception &e) { // dlib::serialization_error, std::bad_alloc
        throw unreadable(e.what());
    }
    return std::shared_ptr<const FaceLandmarks>(new FaceLandmarks(std::move(d)));
}

FaceLandmarks::Points FaceLandmarks::locate(const Image &image, const cv::Rect2d &faceBox) const
{
    if (image.empty() || image.type() != CV_8UC3)
        throw VisionException(VisionError::unsupportedImage, "landmarks need an 8-bit BGR picture");
    if (!(faceBox.width > 1 && faceBox.height > 1) || !std::isfinite(faceBox.x) || !std::isfinite(faceBox.y) ||
        !std::isfinite(faceBox.width) || !std::isfinite(faceBox.height))
        throw VisionException(VisionError::inferenceFailed, "empty face box");

    // The unit square of the shape maps onto the box, corner pixel to corner pixel.
    const float left = static_cast<float>(faceBox.x);
    const float top = static_cast<float>(faceBox.y);
    const float spanX = static_cast<float>(faceBox.width - 1);
    const float spanY = static_cast<float>(faceBox.height - 1);

    std::vector<float> shape = d->meanShape;
    std::vector<float> features;
    std::vector<const float *> leaves;
    for (const auto &cascade : d->cascades) {
        // Where this cascade's feature pixels lie, given the shape so far.
        const cv::Matx22f warp = rotationScale(d->meanShape, shape);
        features.resize(cascade.anchors.size());
        for (std::size_t i = 0; i < cascade.anchors.size(); ++i) {
            const cv::Point2f delta = warp * cascade.deltas[i];
            const std::uint32_t a = cascade.anchors[i];
            const float x = left + (shape[2 * a] + delta.x) * spanX;
            const float y = top + (shape[2 * a + 1] + delta.y) * spanY;
            const long px = std::lround(x);
            const long py = std::lround(y);
            if (px >= 0 && py >= 0 && px < image.cols && py < image.rows) {
                const auto &bgr = image.at<cv::Vec3b>(static_cast<int>(py), static_cast<int>(px));
                features[i] = static_cast<float>((bgr[0] + bgr[1] + bgr[2]) / 3);
            } else {
                features[i] = 0;
            }
        }
        // The trees of a cascade all read the same features, so every leaf is
        // known before any is added. The leaves (tens of megabytes in all) are
        // read from main memory; asking for them ahead keeps many reads in
        // flight instead of one leaf at a time.
        leaves.resize(cascade.trees.size());
        for (std::size_t t = 0; t < cascade.trees.size(); ++t) {
            const auto &tree = cascade.trees[t];
            std::size_t node = 0;
            while (node < tree.splits.size()) {
                const auto &s = tree.splits[node];
                node = features[s.idx1] - features[s.idx2] > s.thresh ? 2 * node + 1 : 2 * node + 2;
            }
            leaves[t] = tree.leaves.data() + (node - tree.splits.size()) * shape.size();
        }
        const std::size_t leafBytes = shape.size() * sizeof(float);
        for (std::size_t t = 0; t < leaves.size(); ++t) {
            if (t + prefetchAhead < leaves.size()) {
                const char *ahead = reinterpret_cast<const char *>(leaves[t + prefetchAhead]);
                for (std::size_t b = 0; b < leafBytes; b += 64)
                    __builtin_prefetch(ahead + b);
            }
            const float *leaf = leaves[t];
            for (std::size_t k = 0; k < shape.size(); ++k)
                shape[k] += leaf[k];
        }
    }

    Points points;
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = cv::Point2f(left + shape[2 * i] * spanX, top + shape[2 * i + 1] * spanY);
    for (const auto &p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            throw VisionException(VisionError::inferenceFailed, "landmarks are not finite");
    }
    return points;
}

} // namespace faciward::platform
