#include "Platform/Vision/FaceRectangles.h"

#include "Platform/Vision/InferenceThreads.h"
#include "Platform/Vision/LowLight.h"
#include "Platform/Vision/OnnxNetwork.h"
#include "Platform/Vision/VisionError.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace faciward::platform {

namespace {

// The network sees 320 by 240 pixels and answers, for each of its 4420 anchor
// boxes, a face box (corners, as fractions of the input's sides) and the two
// class scores (background, face) after softmax.
constexpr int inputWidth = 320;
constexpr int inputHeight = 240;
constexpr float confidenceThreshold = 0.65f;
// Two boxes overlapping this much (intersection over union) are one face.
constexpr double overlapThreshold = 0.4;
// A box lying mostly inside a more confident one is the same face seen at
// another scale: the network answers for each anchor size, and these nested
// answers do not always overlap enough by union to be suppressed.
constexpr double nestedThreshold = 0.6;

// The network draws tall boxes from the hairline to the chin. The landmark
// model wants a square from the brows to below the lip: measured on the 43
// annotated faces of the development set, its side is 0.85 of the network
// box's height and its centre lies 0.068 of that height lower.
constexpr double squareSide = 0.85;
constexpr double centreDrop = 0.068;

struct Candidate
{
    cv::Rect2d rect;
    float score;
};

double intersection(const cv::Rect2d &a, const cv::Rect2d &b)
{
    return (a & b).area();
}

std::vector<Candidate> suppressOverlaps(std::vector<Candidate> candidates)
{
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &a, const Candidate &b) { return a.score > b.score; });
    std::vector<Candidate> kept;
    for (const auto &c : candidates) {
        const bool duplicate = std::any_of(kept.begin(), kept.end(), [&](const Candidate &k) {
            const double inter = intersection(c.rect, k.rect);
            const double unionArea = c.rect.area() + k.rect.area() - inter;
            return inter / unionArea > overlapThreshold ||
                   inter / std::min(c.rect.area(), k.rect.area()) > nestedThreshold;
        });
        if (!duplicate)
            kept.push_back(c);
    }
    return kept;
}

class OnnxFaceRectangles final : public FaceRectangles
{
public:
    OnnxFaceRectangles(const std::filesystem::path &path, bool brightenDarkFrames)
        : m_brightenDarkFrames(brightenDarkFrames)
        , m_network(OnnxNetwork::load(path, {"boxes", "scores"},
                                      cv::Mat(std::vector<int>{1, 3, inputHeight, inputWidth}, CV_32F, cv::Scalar(0)),
                                      2))
    {
    }

    std::vector<FaceBox> detect(const Image &image) const override
    {
        const InferenceThreads::Call call;
        const std::optional<Image> bgr = bgrImage(image);
        if (!bgr)
            throw VisionException(VisionError::unsupportedImage, "faces are found in 8-bit grey, BGR or BGRA pictures");

        // The network misses many faces in a dim room's frame; brightened, it
        // finds them as in normal light. But a frame can count as dark and be
        // lit normally (a small face before a mid-grey wall), and brightening
        // then washes out the face: when the brightened frame shows no face,
        // the frame as it is is asked too, so that the gain never costs a face.
        // (Brightened before it is scaled: the other way round, the dark
        // frame's coarse steps are magnified, and fewer owners are recognised.
        // Smoothed before it is brightened, so that its noise does not come up
        // with it and make a face in an empty room.)
        if (!m_brightenDarkFrames)
            return find(*bgr);
        const double gain = LowLight::gain(*bgr);
        if (gain != 1.0) {
            std::vector<FaceBox> faces = find(LowLight::brightened(*bgr, gain, LowLight::frameSmoothing));
            return faces.empty() ? find(*bgr) : faces;
        }
        // A face in shadow in a lit room (a monitor's shadow, a lamp behind the
        // user) is too dark for the network, yet the frame is not dark. Only
        // when the frame shows no face, so a normal frame costs one pass. The
        // frame is smoothed before it is brightened: brightened alone, the
        // shadow's sensor noise hides small faces, and makes faces of noise.
        std::vector<FaceBox> faces = find(*bgr);
        if (faces.empty())
            faces = find(LowLight::brightened(*bgr, LowLight::shadowGain, LowLight::frameSmoothing));
        return faces;
    }

private:
    // The faces of @p bgr, an 8-bit BGR picture, in the order detect() promises.
    std::vector<FaceBox> find(const Image &bgr) const
    {
        // Scale the picture into the input without distorting it; the rest of the
        // input is mid-grey, which the network's normalisation turns into zero.
        const double scale = std::min(double(inputWidth) / bgr.cols, double(inputHeight) / bgr.rows);
        const int width = std::clamp(static_cast<int>(std::lround(bgr.cols * scale)), 1, inputWidth);
        const int height = std::clamp(static_cast<int>(std::lround(bgr.rows * scale)), 1, inputHeight);
        Image input(inputHeight, inputWidth, CV_8UC3, cv::Scalar::all(127));
        try {
            Image area = input(cv::Rect(0, 0, width, height));
            cv::resize(bgr, area, area.size(), 0, 0, scale < 0.5 ? cv::INTER_AREA : cv::INTER_LINEAR);
        } catch (const cv::Exception &e) {
            throw VisionException(VisionError::inferenceFailed, e.what());
        }
        const std::vector<cv::Mat> outputs = m_network->run(OnnxNetwork::blob(input));
        const cv::Mat &boxes = outputs[0];
        const cv::Mat &scores = outputs[1];
        const std::size_t anchors = boxes.total() / 4;
        if (boxes.total() != anchors * 4 || scores.total() != anchors * 2)
            throw VisionException(VisionError::noOutput, "face detector outputs do not match");

        // Fractions of the input back to pixels of the picture.
        const double sx = inputWidth * double(bgr.cols) / width;
        const double sy = inputHeight * double(bgr.rows) / height;
        const float *box = boxes.ptr<float>();
        const float *score = scores.ptr<float>();
        std::vector<Candidate> candidates;
        for (std::size_t i = 0; i < anchors; ++i) {
            const float s = score[2 * i + 1];
            if (!(s >= confidenceThreshold))
                continue;
            const float *b = box + 4 * i;
            const cv::Rect2d r(cv::Point2d(b[0] * sx, b[1] * sy), cv::Point2d(b[2] * sx, b[3] * sy));
            if (b[2] > b[0] && b[3] > b[1] && r.area() > 0)
                candidates.push_back({r, s});
        }

        std::vector<FaceBox> faces;
        for (const auto &c : suppressOverlaps(std::move(candidates))) {
            const double side = squareSide * c.rect.height;
            const double cx = c.rect.x + c.rect.width / 2;
            const double cy = c.rect.y + c.rect.height / 2 + centreDrop * c.rect.height;
            faces.push_back({cv::Rect2d(cx - side / 2, cy - side / 2, side, side), c.score});
        }
        sortLargestFirst(faces);
        return faces;
    }

    bool m_brightenDarkFrames;
    std::unique_ptr<OnnxNetwork> m_network;
};

} // namespace

std::shared_ptr<const FaceRectangles> FaceRectangles::create(const std::filesystem::path &path,
                                                            bool brightenDarkFrames)
{
    return std::make_shared<OnnxFaceRectangles>(path, brightenDarkFrames);
}

} // namespace faciward::platform
