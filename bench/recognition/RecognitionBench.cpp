// Prints one JSON object per line: {"bench":"recognition","metric":…,"value":…,"unit":…}.
//
// Speed: a 640×480 frame with one face, detection + crop + embedding (median),
// five such frames through RecognizerManager::recognize (wall time), model
// loading, peak resident memory. Accuracy: the identity set (TAR and FAR over
// all pairs at 0.6, 0.7, 0.8; the enrol-3/check-8 protocol; the crop margin),
// and the annotated group pictures (recall at IoU ≥ 0.3, stray boxes), for the
// neural detector and for dlib's HOG detector.

#include "bench/recognition/DevelopmentSet.h"
#include "bench/recognition/HogFaceRectangles.h"
#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "Faciward/Presence/Recognition/Recognizer.h"
#include "Faciward/Presence/Recognition/RecognizerManager.h"
#include "Faciward/Presence/Recognition/Similarity.h"
#include "Platform/Vision/FaceAlignment.h"
#include "Platform/Vision/FaceCrop.h"
#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/OnnxNetwork.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sched.h>
#include <string>

using namespace faciward;
using Clock = std::chrono::steady_clock;

namespace {

void print(const std::string &metric, double value, const char *unit)
{
    std::printf("{\"bench\":\"recognition\",\"metric\":\"%s\",\"value\":%.6g,\"unit\":\"%s\"}\n", metric.c_str(),
                value, unit);
    std::fflush(stdout);
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double peakRssMb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return -1;
}

double cosine(const std::vector<double> &a, const std::vector<double> &b)
{
    return presence::Similarity().score(a, b);
}

struct Identity
{
    std::size_t person;
    std::size_t index; // in file-name order
    std::vector<double> embedding;
};

// The pipeline of the application with another crop margin: the benchmark that
// chose FaceCrop::margin.
std::vector<double> embedWithMargin(const platform::FaceModels &models, const platform::OnnxNetwork &network,
                                    const platform::Image &image, double margin)
{
    const auto boxes = models.faceRectangles()->detect(image);
    if (boxes.empty())
        return {};
    const cv::Size size(presence::FaceDetector::cropSize, presence::FaceDetector::cropSize);
    const platform::Image crop =
        platform::FaceCrop::cut(image, platform::FaceCrop::region(boxes.front().rect, margin), size);
    const auto landmarks = models.landmarks()->locate(crop, platform::FaceCrop::faceBoxInCrop(size, margin));
    const platform::Image aligned =
        platform::FaceAlignment::align(crop, platform::FaceAlignment::fivePoints(landmarks));
    const cv::Mat out = network.run(platform::OnnxNetwork::blob(aligned)).front();
    return std::vector<double>(out.ptr<float>(), out.ptr<float>() + out.total());
}

void identityFigures(const std::string &prefix, const std::vector<Identity> &ids, std::size_t pictures)
{
    print(prefix + "pictures_embedded", double(ids.size()), "count");
    print(prefix + "pictures_without_face", double(pictures - ids.size()), "count");
    for (const double t : {0.6, 0.7, 0.8}) {
        int same = 0, sameAccepted = 0, other = 0, otherAccepted = 0;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            for (std::size_t j = i + 1; j < ids.size(); ++j) {
                const bool accepted = cosine(ids[i].embedding, ids[j].embedding) > t;
                if (ids[i].person == ids[j].person) {
                    ++same;
                    sameAccepted += accepted;
                } else {
                    ++other;
                    otherAccepted += accepted;
                }
            }
        }
        char name[64];
        std::snprintf(name, sizeof name, "%star_at_%.1f", prefix.c_str(), t);
        print(name, 100.0 * sameAccepted / std::max(same, 1), "%");
        std::snprintf(name, sizeof name, "%sfar_at_%.1f", prefix.c_str(), t);
        print(name, 100.0 * otherAccepted / std::max(other, 1), "%");
    }
}

} // namespace

int main()
{
    cpu_set_t cpus;
    sched_getaffinity(0, sizeof cpus, &cpus);
    print("cpus", CPU_COUNT(&cpus), "count");

    const std::filesystem::path data = FACIWARD_DEV_DATA_DIR;
    const auto people = devdata::identitySet(data);

    // --- loading ---------------------------------------------------------------
    auto start = Clock::now();
    const presence::Recognizer::Model model = presence::Recognizer::loadModel();
    print("model_load_ms", msSince(start), "ms");

    // --- one frame: detection, crop, landmarks, alignment, embedding ----------
    const platform::Image frame = devdata::webcamFrame(people.front().pictures.front());
    const presence::FaceDetector detector(model->faceRectangles());
    const presence::Recognizer recognizer(model);
    std::vector<double> frameTimes, detectTimes;
    for (int i = 0; i < 60; ++i) {
        start = Clock::now();
        const auto faces = detector.detect(frame);
        detectTimes.push_back(msSince(start));
        for (const auto &face : faces)
            recognizer.recognize(face);
        frameTimes.push_back(msSince(start));
        if (faces.size() != 1)
            print("frame_faces_unexpected", double(faces.size()), "count");
    }
    print("frame_ms_median", median(frameTimes), "ms");
    print("detect_ms_median", median(detectTimes), "ms");

    // --- five frames through the manager --------------------------------------
    const std::vector<double> enrolled = recognizer.recognize(detector.detect(frame).front());
    presence::RecognizerManager manager([&] { return std::vector<std::vector<double>>{enrolled}; },
                                        [] { return 0.6; });
    manager.setModel(model);
    std::vector<platform::Image> five;
    for (std::size_t i = 0; i < 5; ++i)
        five.push_back(devdata::webcamFrame(people.front().pictures[i]));
    for (int i = 0; i < 5; ++i) // warm-up: every network copy the pools will hold
        manager.recognize(five);
    int owners = 0;
    for (std::size_t n = 1; n <= five.size(); ++n) {
        const std::vector<platform::Image> some(five.begin(), five.begin() + n);
        // Many runs: on a shared machine single runs vary by a quarter.
        const int runs = n == five.size() ? 120 : 30;
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            start = Clock::now();
            const auto answers = manager.recognize(some);
            times.push_back(msSince(start));
            owners = int(std::count(answers.begin(), answers.end(), true));
        }
        if (n == five.size()) {
            std::sort(times.begin(), times.end());
            print("five_frames_ms_median", median(times), "ms");
            print("five_frames_ms_p10", times[times.size() / 10], "ms");
            print("five_frames_ms_p90", times[times.size() * 9 / 10], "ms");
            print("five_frames_ms_max", times.back(), "ms");
            print("five_frames_owner_answers", owners, "count");
        } else {
            print("frames_" + std::to_string(n) + "_ms_median", median(times), "ms");
        }
    }
    print("peak_rss_mb", peakRssMb(), "MB");

    // --- identity ----------------------------------------------------------------
    std::size_t pictureCount = 0;
    std::vector<Identity> ids;
    for (std::size_t p = 0; p < people.size(); ++p) {
        for (std::size_t i = 0; i < people[p].pictures.size(); ++i) {
            ++pictureCount;
            try {
                const auto faces = detector.detect(cv::imread(people[p].pictures[i].string()));
                ids.push_back({p, i, recognizer.recognize(faces.front())});
            } catch (const std::exception &) {
            }
        }
    }
    identityFigures("identity_", ids, pictureCount);

    // Enrol each person's first three pictures, check the other eight, at 0.6.
    int ownerRight = 0, ownerTotal = 0, strangerRight = 0, strangerTotal = 0;
    double weakestOwner = 2, closestStranger = -2;
    for (std::size_t p = 0; p < people.size(); ++p) {
        for (const auto &probe : ids) {
            if (probe.person == p && probe.index < 3)
                continue;
            double best = -2;
            for (const auto &e : ids) {
                if (e.person == p && e.index < 3)
                    best = std::max(best, cosine(e.embedding, probe.embedding));
            }
            if (probe.person == p) {
                ++ownerTotal;
                ownerRight += best > 0.6;
                weakestOwner = std::min(weakestOwner, best);
            } else {
                ++strangerTotal;
                strangerRight += best <= 0.6;
                closestStranger = std::max(closestStranger, best);
            }
        }
    }
    print("enrol3_owner_checks_right", ownerRight, "count");
    print("enrol3_owner_checks", ownerTotal, "count");
    print("enrol3_stranger_checks_right", strangerRight, "count");
    print("enrol3_stranger_checks", strangerTotal, "count");
    print("enrol3_weakest_owner_similarity", weakestOwner, "cosine");
    print("enrol3_closest_stranger_similarity", closestStranger, "cosine");

    // The crop margin: the same pairs with other margins.
    const auto network = platform::OnnxNetwork::load(
        platform::FaceModels::Paths::standard().embeddingNetwork, {"output"},
        cv::Mat(std::vector<int>{1, 3, platform::FaceAlignment::size, platform::FaceAlignment::size}, CV_32F,
                cv::Scalar(0)),
        1);
    for (const double margin : {0.0, 0.1, 0.25, 0.4, 0.6}) {
        std::vector<Identity> withMargin;
        for (std::size_t p = 0; p < people.size(); ++p) {
            for (std::size_t i = 0; i < people[p].pictures.size(); ++i) {
                auto e = embedWithMargin(*model, *network, cv::imread(people[p].pictures[i].string()), margin);
                if (!e.empty())
                    withMargin.push_back({p, i, std::move(e)});
            }
        }
        char prefix[48];
        std::snprintf(prefix, sizeof prefix, "margin_%.2f_", margin);
        identityFigures(prefix, withMargin, pictureCount);
    }

    // --- detection on the annotated group pictures --------------------------------
    const auto annotated = devdata::annotatedFaces(data);
    const std::map<std::string, std::shared_ptr<const platform::FaceRectangles>> detectors{
        {"onnx", model->faceRectangles()}, {"hog", std::make_shared<bench::HogFaceRectangles>()}};
    for (const auto &[name, rectangles] : detectors) {
        devdata::DetectionScore total;
        for (const auto &picture : annotated) {
            std::vector<cv::Rect2d> boxes;
            for (const auto &face : rectangles->detect(cv::imread(picture.file.string())))
                boxes.push_back(face.rect);
            total += devdata::scoreDetection(picture.faces, boxes);
        }
        print(name + "_faces", total.faces, "count");
        print(name + "_found", total.found, "count");
        print(name + "_recall", 100.0 * total.found / total.faces, "%");
        print(name + "_stray_boxes", total.stray, "count");
        print(name + "_stray_per_face", 100.0 * total.stray / total.faces, "%");
        print(name + "_mean_iou", total.meanIoU, "ratio");

        // The same frame as above, detection alone and the whole pipeline.
        std::vector<double> detectOnly, whole;
        const presence::FaceDetector other(rectangles);
        for (int i = 0; i < 30; ++i) {
            start = Clock::now();
            const auto faces = other.detect(frame);
            detectOnly.push_back(msSince(start));
            for (const auto &face : faces)
                recognizer.recognize(face);
            whole.push_back(msSince(start));
        }
        print(name + "_detect_ms_median", median(detectOnly), "ms");
        print(name + "_frame_ms_median", median(whole), "ms");
    }
    return 0;
}
