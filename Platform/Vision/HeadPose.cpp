#include "Platform/Vision/HeadPose.h"

#include "Platform/Vision/VisionError.h"

#include <opencv2/calib3d.hpp>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>

namespace faciward::platform {

namespace {

// A generic face in camera axes (x right, y down, z away from the camera),
// in millimetre-like units, nose tip at the origin.
const std::vector<cv::Point3d> &genericFace()
{
    static const std::vector<cv::Point3d> points{
        {0, 0, 0},           // nose tip (landmark 30)
        {0, 330, 65},        // chin (8)
        {-225, -170, 135},   // outer corner of the eye on the picture's left (36)
        {225, -170, 135},    // outer corner of the other eye (45)
        {-150, 150, 125},    // mouth corner on the picture's left (48)
        {150, 150, 125},     // other mouth corner (54)
    };
    return points;
}

constexpr int landmarkIndices[] = {30, 8, 36, 45, 48, 54};

// The landmark that a point becomes in the mirror image: the jaw, brows, eyes,
// nostrils and lips swap sides; points on the middle line stay.
const std::array<int, 68> &mirrorPartners()
{
    static const std::array<int, 68> partners = [] {
        std::array<int, 68> p{};
        for (int i = 0; i < 68; ++i)
            p[i] = i;
        const auto swap = [&p](int a, int b) {
            p[a] = b;
            p[b] = a;
        };
        for (int i = 0; i < 8; ++i)
            swap(i, 16 - i);
        for (const auto &[a, b] : std::initializer_list<std::pair<int, int>>{
                 {17, 26}, {18, 25}, {19, 24}, {20, 23}, {21, 22}, {31, 35}, {32, 34}, {36, 45}, {37, 44}, {38, 43},
                 {39, 42}, {40, 47}, {41, 46}, {48, 54}, {49, 53}, {50, 52}, {55, 59}, {56, 58}, {60, 64}, {61, 63},
                 {65, 67}})
            swap(a, b);
        return p;
    }();
    return partners;
}

cv::Rect2d mirrored(const cv::Rect2d &box, int width)
{
    // Where the detector should see the box in the mirror image (to a pixel).
    return {width - box.x - box.width, box.y, box.width, box.height};
}

// The landmarks of the face in @p box, found on the face turned upright: the
// landmark model starts from an upright mean face, so a tilted face comes out
// with its tilt partly lost. The tilt is read from a first pass (the line
// between the eye centres), the region around the face turned by it, the
// landmarks found again and turned back.
FaceLandmarks::Points uprightLandmarks(const Image &frame, const cv::Rect2d &box, const FaceLandmarks &landmarks)
{
    const FaceLandmarks::Points first = landmarks.locate(frame, box);
    cv::Point2f left(0, 0), right(0, 0);
    for (int i = 36; i < 42; ++i)
        left += first[i];
    for (int i = 42; i < 48; ++i)
        right += first[i];
    const double tilt = std::atan2(double(right.y - left.y), double(right.x - left.x)) * 180.0 / CV_PI;

    // Turn a region twice the face's size about the face's centre; the face box
    // keeps its place in it.
    const cv::Point2d centre(box.x + box.width / 2, box.y + box.height / 2);
    const cv::Rect2d region(centre.x - box.width, centre.y - box.height, 2 * box.width, 2 * box.height);
    cv::Matx23d turn = cv::getRotationMatrix2D(cv::Point2f(centre), tilt, 1.0);
    turn(0, 2) -= region.x;
    turn(1, 2) -= region.y;
    Image upright;
    try {
        cv::warpAffine(frame, upright, cv::Mat(turn), cv::Size(cvCeil(region.width), cvCeil(region.height)),
                       cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
    } catch (const cv::Exception &e) {
        throw VisionException(VisionError::inferenceFailed, e.what());
    }
    const FaceLandmarks::Points second = landmarks.locate(upright, box - region.tl());

    cv::Matx23d back;
    cv::invertAffineTransform(turn, back);
    FaceLandmarks::Points points;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const cv::Vec2d p = back * cv::Vec3d(second[i].x, second[i].y, 1);
        points[i] = cv::Point2f(static_cast<float>(p[0]), static_cast<float>(p[1]));
    }
    return points;
}

double overlap(const cv::Rect2d &a, const cv::Rect2d &b)
{
    const double inter = (a & b).area();
    const double uni = a.area() + b.area() - inter;
    return uni > 0 ? inter / uni : 0;
}

} // namespace

HeadPose HeadPose::estimate(const FaceLandmarks::Points &landmarks, cv::Size imageSize)
{
    if (imageSize.width <= 0 || imageSize.height <= 0)
        throw VisionException(VisionError::unsupportedImage, "empty picture");
    std::vector<cv::Point2d> seen;
    for (const int i : landmarkIndices)
        seen.emplace_back(landmarks[i]);

    const double f = imageSize.width;
    // The centre between the middle pixels, so that mirroring maps it onto itself.
    const cv::Matx33d camera(f, 0, (imageSize.width - 1) / 2.0, 0, f, (imageSize.height - 1) / 2.0, 0, 0, 1);
    cv::Mat rotationVector, translation;
    bool solved = false;
    try {
        solved = cv::solvePnP(genericFace(), seen, camera, cv::noArray(), rotationVector, translation, false,
                              cv::SOLVEPNP_ITERATIVE);
    } catch (const cv::Exception &e) {
        throw VisionException(VisionError::inferenceFailed, e.what());
    }
    if (!solved)
        throw VisionException(VisionError::inferenceFailed, "no head pose fits the landmarks");

    cv::Matx33d r;
    cv::Rodrigues(rotationVector, r);
    // r = Rz(roll) · Ry(yaw) · Rx(pitch)
    HeadPose pose;
    pose.yaw = std::asin(std::clamp(-r(2, 0), -1.0, 1.0));
    pose.pitch = std::atan2(r(2, 1), r(2, 2));
    pose.roll = std::atan2(r(1, 0), r(0, 0));
    if (!std::isfinite(pose.yaw) || !std::isfinite(pose.pitch) || !std::isfinite(pose.roll))
        throw VisionException(VisionError::inferenceFailed, "no head pose fits the landmarks");
    return pose;
}

HeadPose HeadPose::measure(const Image &frame, const cv::Rect2d &faceBox, const FaceRectangles &rectangles,
                           const FaceLandmarks &landmarks)
{
    const double limit = 4.0 * std::max(frame.cols, frame.rows);
    if (frame.empty() || !(faceBox.width >= 1 && faceBox.height >= 1 && faceBox.width <= limit &&
                           faceBox.height <= limit && std::abs(faceBox.x) <= limit && std::abs(faceBox.y) <= limit))
        throw VisionException(VisionError::inferenceFailed, "no face box of a sensible size");
    const FaceLandmarks::Points direct = uprightLandmarks(frame, faceBox, landmarks);

    Image mirror;
    try {
        cv::flip(frame, mirror, 1);
    } catch (const cv::Exception &e) {
        throw VisionException(VisionError::inferenceFailed, e.what());
    }
    // The same face in the mirror image: the box found there that best covers
    // the mirrored box; the mirrored box itself when the detector sees none.
    const cv::Rect2d expected = mirrored(faceBox, frame.cols);
    cv::Rect2d mirrorBox = expected;
    double best = 0.3;
    for (const auto &face : rectangles.detect(mirror)) {
        const double o = overlap(face.rect, expected);
        if (o >= best) {
            best = o;
            mirrorBox = face.rect;
        }
    }
    const FaceLandmarks::Points reflected = uprightLandmarks(mirror, mirrorBox, landmarks);

    FaceLandmarks::Points averaged;
    const auto &partners = mirrorPartners();
    for (std::size_t i = 0; i < averaged.size(); ++i) {
        cv::Point2f back = reflected[partners[i]];
        back.x = static_cast<float>(frame.cols - 1) - back.x;
        averaged[i] = (direct[i] + back) * 0.5f;
    }
    return estimate(averaged, frame.size());
}

} // namespace faciward::platform
