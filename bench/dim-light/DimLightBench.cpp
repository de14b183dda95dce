// Prints one JSON object per line: {"bench":"dim-light","metric":…,"value":…,"unit":…}.
//
// Recognition in a dim room. Each person of the identity set enrols with their
// first three pictures in normal light; every picture, placed in a 640×480
// frame a third as bright and with sensor noise (DimFrames.h), is then checked
// against every enrolment: a person's own last eight pictures are owner
// checks (40), every picture of the other people a stranger check (220).
// Frames of an empty dim room must give no face at all. Each way of handling
// dark frames is measured side by side; "product" is the application's own
// detector and recognizer.

#include "bench/dim-light/DimFrames.h"
#include "bench/recognition/DevelopmentSet.h"
#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "Faciward/Presence/Recognition/Recognizer.h"
#include "Faciward/Presence/Recognition/Similarity.h"
#include "Platform/Vision/FaceCrop.h"
#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/LowLight.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

using namespace faciward;
using Clock = std::chrono::steady_clock;
using Embeddings = std::vector<std::vector<double>>;

namespace {

void print(const std::string &metric, double value, const char *unit)
{
    std::printf("{\"bench\":\"dim-light\",\"metric\":\"%s\",\"value\":%.6g,\"unit\":\"%s\"}\n", metric.c_str(), value,
                unit);
    std::fflush(stdout);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The gain the application's detector applies (LowLight), to the whole frame.
platform::Image gained(const platform::Image &bgr)
{
    platform::Image out;
    bgr.convertTo(out, -1, platform::LowLight::gain(bgr));
    return out;
}

// Local contrast equalisation of the luminance, the other candidate beside
// LowLight's gain; only for dark frames, as the gain.
platform::Image claheOnLuminance(const platform::Image &bgr)
{
    if (platform::LowLight::gain(bgr) == 1.0)
        return bgr;
    platform::Image ycc;
    cv::cvtColor(bgr, ycc, cv::COLOR_BGR2YCrCb);
    std::vector<cv::Mat> planes;
    cv::split(ycc, planes);
    cv::createCLAHE(2.0, cv::Size(8, 8))->apply(planes[0], planes[0]);
    cv::merge(planes, ycc);
    cv::cvtColor(ycc, ycc, cv::COLOR_YCrCb2BGR);
    return ycc;
}

using Normalise = std::function<platform::Image(const platform::Image &)>;

// The pipeline with one way of handling a dark frame: detection on the
// normalised frame or the raw one, crops from either; or a second detection
// pass on the normalised frame when the first on the raw one finds nothing.
struct Variant
{
    std::string name;
    Normalise normalise; // null: none
    bool detectNormalised;
    bool cropNormalised;
    bool retry;
};

Embeddings frameEmbeddings(const platform::FaceModels &models, const platform::FaceRectangles &rawDetector,
                           const Variant &v, const platform::Image &frame)
{
    const platform::Image lit = v.normalise ? v.normalise(frame) : frame;
    const platform::Image &first = v.detectNormalised ? lit : frame;
    auto boxes = rawDetector.detect(first);
    bool fromLit = v.detectNormalised;
    if (boxes.empty() && v.retry && v.normalise) {
        boxes = rawDetector.detect(lit);
        fromLit = true;
    }
    const platform::Image &source = (v.cropNormalised && v.normalise) || fromLit ? lit : frame;
    Embeddings out;
    for (const auto &box : boxes) {
        const auto crop = platform::FaceCrop::cut(source, platform::FaceCrop::region(box.rect),
                                                  cv::Size(presence::FaceDetector::cropSize, presence::FaceDetector::cropSize));
        out.push_back(models.embeddingModel()->embedding(crop));
    }
    return out;
}

Embeddings productEmbeddings(const presence::Recognizer::Model &model, const platform::Image &frame)
{
    Embeddings out;
    try {
        for (const auto &face : presence::FaceDetector(model->faceRectangles()).detect(frame))
            out.push_back(presence::Recognizer(model).recognize(face));
    } catch (const presence::FaceDetector::Exception &) {
    }
    return out;
}

bool matches(const Embeddings &enrolled, const Embeddings &faces, double threshold)
{
    for (const auto &face : faces) {
        for (const auto &e : enrolled) {
            if (presence::Similarity().score(e, face) > threshold)
                return true;
        }
    }
    return false;
}

} // namespace

int main()
{
    const auto people = devdata::identitySet(FACIWARD_DEV_DATA_DIR);
    const presence::Recognizer::Model model = presence::Recognizer::loadModel();

    // Enrolment in normal light, by the application's own path.
    std::vector<Embeddings> enrolled(people.size());
    std::vector<std::vector<platform::Image>> dim(people.size());
    std::uint64_t seed = 1;
    for (std::size_t p = 0; p < people.size(); ++p) {
        for (std::size_t i = 0; i < people[p].pictures.size(); ++i) {
            const platform::Image frame = devdata::webcamFrame(people[p].pictures[i]);
            if (i < 3) {
                for (auto &e : productEmbeddings(model, frame))
                    enrolled[p].push_back(std::move(e));
            }
            dim[p].push_back(devdata::dimFrame(frame, seed++));
        }
    }
    std::vector<platform::Image> empty;
    for (int i = 0; i < 40; ++i)
        empty.push_back(devdata::darkEmptyFrame(1000 + i));

    using Extract = std::function<Embeddings(const platform::Image &)>;
    std::vector<std::pair<std::string, Extract>> ways;
    const std::vector<Variant> variants{
        {"none", nullptr, false, false, false}, // the application before dark frames were brightened
        {"clahe_detect", claheOnLuminance, true, false, false},
        {"clahe_detect_crop", claheOnLuminance, true, true, false},
        {"clahe_retry", claheOnLuminance, false, true, true},
        {"gain_detect_crop", gained, true, true, false},
        {"gain_retry", gained, false, true, true},
    };
    const auto rawDetector =
        platform::FaceRectangles::create(platform::FaceModels::Paths::standard().faceDetector, false);
    for (const auto &v : variants) {
        ways.push_back({v.name, [&model, &rawDetector, v](const platform::Image &f) {
                            return frameEmbeddings(*model, *rawDetector, v, f);
                        }});
    }
    // The application: the gain for detection only; crops from the frame as it is.
    ways.push_back({"product", [&model](const platform::Image &f) { return productEmbeddings(model, f); }});

    for (const auto &[name, extract] : ways) {
        std::vector<Embeddings> faces(people.size() * 11);
        int noFace = 0;
        for (std::size_t p = 0; p < people.size(); ++p) {
            for (std::size_t i = 0; i < dim[p].size(); ++i) {
                faces[p * 11 + i] = extract(dim[p][i]);
                noFace += faces[p * 11 + i].empty();
            }
        }
        print(name + "_dim_frames_without_face", noFace, "count");
        for (const double t : {0.6, 0.7, 0.8}) {
            int owner = 0, ownerChecks = 0, stranger = 0, strangerChecks = 0;
            for (std::size_t p = 0; p < people.size(); ++p) {
                for (std::size_t q = 0; q < people.size(); ++q) {
                    for (std::size_t i = 0; i < dim[q].size(); ++i) {
                        if (p == q && i < 3)
                            continue;
                        const bool accepted = matches(enrolled[p], faces[q * 11 + i], t);
                        (p == q ? owner : stranger) += accepted;
                        ++(p == q ? ownerChecks : strangerChecks);
                    }
                }
            }
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, "_at_%.1f", t);
            print(name + "_owner_accepted" + suffix, owner, "count");
            print(name + "_stranger_accepted" + suffix, stranger, "count");
            if (t == 0.6) {
                print(name + "_owner_checks", ownerChecks, "count");
                print(name + "_stranger_checks", strangerChecks, "count");
            }
        }
        int emptyWithFace = 0;
        for (const auto &frame : empty)
            emptyWithFace += !extract(frame).empty();
        print(name + "_empty_dark_frames", double(empty.size()), "count");
        print(name + "_empty_dark_frames_with_face", emptyWithFace, "count");

        // Cost on a frame in normal light, and on a dark one.
        for (const auto &[kind, frame] : {std::pair{"normal", devdata::webcamFrame(people[0].pictures[0])},
                                          std::pair{"dark", dim[0][0]}}) {
            std::vector<double> times;
            for (int r = 0; r < 30; ++r) {
                const auto start = Clock::now();
                extract(frame);
                times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            print(name + "_" + kind + "_frame_ms_median", median(times), "ms");
        }
    }
    return 0;
}
