#pragma once

// The development pictures and their ground truth, shared by the recognition
// benchmark and the model regression tests. Header-only so that tests can use
// it whether or not benchmarks are built.

#include <opencv2/core/types.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace faciward::devdata {

/// @brief One person of the identity set and their pictures, in file-name order.
struct Person
{
    std::string name;
    std::vector<std::filesystem::path> pictures;
};

/// @brief The identity set: one folder per person under @p root/johns, people in
/// folder-name order.
/// @throws std::runtime_error when the folder is missing.
inline std::vector<Person> identitySet(const std::filesystem::path &root)
{
    const auto dir = root / "johns";
    if (!std::filesystem::is_directory(dir))
        throw std::runtime_error("identity set missing: " + dir.string());
    std::vector<Person> people;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_directory())
            continue;
        Person person{entry.path().filename().string(), {}};
        for (const auto &file : std::filesystem::directory_iterator(entry.path())) {
            if (file.is_regular_file())
                person.pictures.push_back(file.path());
        }
        std::sort(person.pictures.begin(), person.pictures.end());
        people.push_back(std::move(person));
    }
    std::sort(people.begin(), people.end(), [](const Person &a, const Person &b) { return a.name < b.name; });
    return people;
}

/// @brief A 640×480 webcam-like frame: the identity picture at @p picture at
/// twice its size, in the middle of a plain background.
inline cv::Mat webcamFrame(const std::filesystem::path &picture)
{
    cv::Mat face = cv::imread(picture.string());
    cv::resize(face, face, face.size() * 2, 0, 0, cv::INTER_CUBIC);
    cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(96, 104, 112));
    face.copyTo(frame(cv::Rect((640 - face.cols) / 2, (480 - face.rows) / 2, face.cols, face.rows)));
    return frame;
}

/// @brief A picture with the boxes of the faces in it.
struct AnnotatedPicture
{
    std::filesystem::path file;
    std::vector<cv::Rect2d> faces;
};

/// @brief The annotated group pictures of @p root/faces: testing.xml, then training.xml.
/// @throws std::runtime_error when a file is missing.
inline std::vector<AnnotatedPicture> annotatedFaces(const std::filesystem::path &root)
{
    std::vector<AnnotatedPicture> pictures;
    const std::regex image("<image file='([^']+)'");
    const std::regex box("<box top='(-?\\d+)' left='(-?\\d+)' width='(\\d+)' height='(\\d+)'");
    for (const char *name : {"testing.xml", "training.xml"}) {
        const auto path = root / "faces" / name;
        std::ifstream in(path);
        if (!in)
            throw std::runtime_error("annotations missing: " + path.string());
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (std::regex_search(line, m, image)) {
                pictures.push_back({root / "faces" / m[1].str(), {}});
            } else if (std::regex_search(line, m, box) && !pictures.empty()) {
                pictures.back().faces.emplace_back(std::stod(m[2]), std::stod(m[1]), std::stod(m[3]),
                                                   std::stod(m[4]));
            }
        }
    }
    return pictures;
}

inline double intersectionOverUnion(const cv::Rect2d &a, const cv::Rect2d &b)
{
    const double inter = (a & b).area();
    const double uni = a.area() + b.area() - inter;
    return uni > 0 ? inter / uni : 0;
}

/// @brief How well boxes found by a detector match the annotated faces.
struct DetectionScore
{
    int faces = 0; ///< annotated faces
    int found = 0; ///< faces matched by a box with IoU at least the bar
    int stray = 0; ///< boxes that match no face, duplicates included
    double meanIoU = 0; ///< over the matched faces
};

/// @brief Matches boxes to faces one to one, best overlaps first; a face counts
/// as found when its box overlaps it with an IoU of at least @p bar.
inline DetectionScore scoreDetection(const std::vector<cv::Rect2d> &faces, const std::vector<cv::Rect2d> &boxes,
                                     double bar = 0.3)
{
    struct Pair
    {
        double iou;
        std::size_t face, box;
    };
    std::vector<Pair> pairs;
    for (std::size_t f = 0; f < faces.size(); ++f) {
        for (std::size_t b = 0; b < boxes.size(); ++b) {
            const double v = intersectionOverUnion(faces[f], boxes[b]);
            if (v >= bar)
                pairs.push_back({v, f, b});
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair &a, const Pair &b) { return a.iou > b.iou; });
    std::vector<bool> faceUsed(faces.size()), boxUsed(boxes.size());
    DetectionScore score;
    score.faces = static_cast<int>(faces.size());
    double iouSum = 0;
    for (const auto &p : pairs) {
        if (faceUsed[p.face] || boxUsed[p.box])
            continue;
        faceUsed[p.face] = boxUsed[p.box] = true;
        ++score.found;
        iouSum += p.iou;
    }
    score.stray = static_cast<int>(std::count(boxUsed.begin(), boxUsed.end(), false));
    score.meanIoU = score.found ? iouSum / score.found : 0;
    return score;
}

inline DetectionScore &operator+=(DetectionScore &total, const DetectionScore &one)
{
    const double sum = total.meanIoU * total.found + one.meanIoU * one.found;
    total.faces += one.faces;
    total.found += one.found;
    total.stray += one.stray;
    total.meanIoU = total.found ? sum / total.found : 0;
    return total;
}

} // namespace faciward::devdata
