#include "Platform/Vision/FaceLandmarks.h"

#include "Platform/Vision/LeafSum.h"
#include "Platform/Vision/ShapePredictorFile.h"
#include "Platform/Vision/VisionError.h"

#include <cmath>

namespace faciward::platform {

// The predictor is a cascade of regression forests over pixel differences
// (dlib's shape_predictor). Its file is in dlib's format (see
// ShapePredictorFile), but it is run by the loops below: dlib's evaluation
// adds every leaf through a BLAS call and rounds the points to whole pixels,
// which made it four times slower than this and coarser.
struct FaceLandmarks::Private
{
    struct Cascade
    {
        std::vector<std::uint32_t> anchors; // shape point each feature pixel hangs on
        std::vector<cv::Point2f> deltas;    // its offset from that point, in the mean shape
        ShapePredictorFile::Forest forest;
    };

    std::vector<float> meanShape; // x0, y0, x1, y1, … in the unit square of the face box
    std::vector<Cascade> cascades;
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

constexpr std::size_t shapeSize = LeafSum::shapeSize;
static_assert(shapeSize == 2 * std::tuple_size_v<FaceLandmarks::Points>);

// The bytes one prefetch brings in, on every x86-64.
constexpr std::size_t cacheLine = 64;

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
        if (file.meanShape.size() != shapeSize || file.forests.size() != file.anchors.size() ||
            file.forests.size() != file.deltas.size())
            throw unreadable("not a 68-point shape predictor");
        d->meanShape = std::move(file.meanShape);
        for (std::size_t c = 0; c < file.forests.size(); ++c) {
            Private::Cascade cascade;
            const auto &anchors = file.anchors[c];
            const auto &deltas = file.deltas[c];
            if (anchors.size() != deltas.size())
                throw unreadable("damaged cascade");
            for (std::size_t i = 0; i < anchors.size(); ++i) {
                if (anchors[i] >= shapeSize / 2)
                    throw unreadable("damaged cascade");
                cascade.anchors.push_back(static_cast<std::uint32_t>(anchors[i]));
                cascade.deltas.emplace_back(deltas[i].x, deltas[i].y);
            }
            for (const auto &s : file.forests[c].splits) {
                if (s.idx1 >= anchors.size() || s.idx2 >= anchors.size())
                    throw unreadable("damaged tree");
            }
            cascade.forest = std::move(file.forests[c]);
            d->cascades.push_back(std::move(cascade));
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

    static const LeafSum::Function addLeaves = LeafSum::best();
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
        // read from main memory: each is asked for as soon as its tree is
        // walked, so that many reads are in flight instead of one leaf at a
        // time, and the walk takes no branch on the features, which would stop
        // the processor from running ahead to the next trees. They are asked
        // into the second-level cache: 500 leaves do not fit in the first,
        // and there they pushed out the features and the splits (1.5 ms
        // against 1.0 ms a face with cold caches). Adding each block of leaves
        // while the next trees are walked was slower still.
        const auto &forest = cascade.forest;
        leaves.resize(forest.trees());
        for (std::size_t t = 0; t < leaves.size(); ++t) {
            const std::size_t first = forest.firstSplit[t];
            const std::size_t count = forest.firstSplit[t + 1] - first;
            const ShapePredictorFile::Split *tree = forest.splits.data() + first;
            std::size_t node = 0;
            while (node < count) {
                const auto &s = tree[node];
                node = 2 * node + 2 - std::size_t(features[s.idx1] - features[s.idx2] > s.thresh);
            }
            const float *leaf = forest.leaves.data() + (first + t + node - count) * shapeSize;
            for (std::size_t b = 0; b < shapeSize * sizeof(float); b += cacheLine)
                __builtin_prefetch(reinterpret_cast<const char *>(leaf) + b, 0, 2);
            leaves[t] = leaf;
        }
        addLeaves(shape.data(), leaves.data(), leaves.size());
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
