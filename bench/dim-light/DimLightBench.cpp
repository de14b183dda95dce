// Prints one JSON object per line: {"bench":"dim-light","metric":…,"value":…,"unit":…}.
//
// Recognition in hard light. Each person of the identity set enrols with their
// first three pictures in normal light; every picture is then shown in a set
// of frames (DimFrames.h) and checked against every enrolment: a person's own
// last eight pictures are owner checks (40), every picture of the other people
// a stranger check (220). The sets:
//   dim      640×480 frames a third as bright, with sensor noise;
//   wall_L   the picture at 75 px before a plain wall of grey L, in normal light;
//   shadow   the face in shadow (a third as bright, noise) in a lit room, the
//            picture at twice its size; shadow_far at its own size;
//   normal   the webcam frames of the recognition benchmark.
// Frames of empty rooms, dark ones and lit ones with a shadowed patch, must
// give no face at all. Each way of handling light is measured side by side;
// "product" is the application's own detector and recognizer.
//   bench/dim-light/dim_light_bench [WAY…]   (default: every way)

#include "bench/BenchFigures.h"
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
#include <cmath>
#include <cstdio>
#include <functional>
#include <set>
#include <string>

using namespace faciward;
using Embeddings = std::vector<std::vector<double>>;
using Boxes = std::vector<platform::FaceBox>;

namespace {

void print(const std::string &metric, double value, const char *unit)
{
    bench::printFigure("dim-light", metric, value, unit);
}

// The gain that LowLight chooses, applied to the whole frame.
platform::Image gained(const platform::Image &bgr)
{
    platform::Image out;
    bgr.convertTo(out, -1, platform::LowLight::gain(bgr));
    return out;
}

// Local contrast equalisation of the luminance.
platform::Image claheOnLuminance(const platform::Image &bgr)
{
    platform::Image ycc;
    cv::cvtColor(bgr, ycc, cv::COLOR_BGR2YCrCb);
    std::vector<cv::Mat> planes;
    cv::split(ycc, planes);
    cv::createCLAHE(2.0, cv::Size(8, 8))->apply(planes[0], planes[0]);
    cv::merge(planes, ycc);
    cv::cvtColor(ycc, ycc, cv::COLOR_YCrCb2BGR);
    return ycc;
}

// Shadows lifted by a gamma of 1/2.2: a third of the normal brightness comes
// back to about normal, while light parts are barely changed.
platform::Image gammaLifted(const platform::Image &bgr)
{
    cv::Mat lut(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i)
        lut.at<std::uint8_t>(i) = cv::saturate_cast<std::uint8_t>(255.0 * std::pow(i / 255.0, 1 / 2.2));
    platform::Image out;
    cv::LUT(bgr, lut, out);
    return out;
}

// The face crop with its luminance stretched to a fixed mean and spread.
platform::Image normalisedCrop(const platform::Image &crop)
{
    cv::Mat grey;
    cv::cvtColor(crop, grey, cv::COLOR_BGR2GRAY);
    cv::Scalar mean, spread;
    cv::meanStdDev(grey, mean, spread);
    const double a = 50.0 / std::max(spread[0], 1.0);
    platform::Image out;
    crop.convertTo(out, -1, a, 120.0 - a * mean[0]);
    return out;
}

bool overlaps(const cv::Rect2d &a, const cv::Rect2d &b)
{
    const double inter = (a & b).area();
    return inter / (a.area() + b.area() - inter) > 0.4 || inter / std::min(a.area(), b.area()) > 0.6;
}

struct Pipeline
{
    const presence::Recognizer::Model &model;
    const platform::FaceRectangles &raw; // without the gain

    Boxes detect(const platform::Image &frame) const { return raw.detect(frame); }

    Embeddings embed(const platform::Image &source, const Boxes &boxes) const
    {
        Embeddings out;
        for (const auto &box : boxes) {
            const cv::Size size(presence::FaceDetector::cropSize, presence::FaceDetector::cropSize);
            const platform::Image crop = platform::FaceCrop::cut(source, platform::FaceCrop::region(box.rect), size);
            try {
                out.push_back(model->embeddingModel()->embedding(crop));
            } catch (const std::exception &) {
            }
        }
        return out;
    }

    // The application's pipeline, the crop changed by @p changeCrop before the embedding.
    Embeddings product(const platform::Image &frame, platform::Image (*changeCrop)(const platform::Image &) = nullptr) const
    {
        Embeddings out;
        try {
            for (const auto &face : presence::FaceDetector(model->faceRectangles()).detect(frame))
                out.push_back(presence::Recognizer(model).recognize(changeCrop ? changeCrop(face) : face));
        } catch (const presence::FaceDetector::Exception &) {
        }
        return out;
    }
};

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

using Extract = std::function<Embeddings(const platform::Image &)>;

// Faces per picture of one set, owner and stranger acceptance, as above.
void measureSet(const std::string &prefix, const Extract &extract, const std::vector<Embeddings> &enrolled,
                const std::vector<std::vector<platform::Image>> &frames, const std::vector<double> &thresholds)
{
    std::vector<std::vector<Embeddings>> faces(frames.size());
    int noFace = 0, total = 0;
    for (std::size_t p = 0; p < frames.size(); ++p) {
        for (const auto &frame : frames[p]) {
            faces[p].push_back(extract(frame));
            noFace += faces[p].back().empty();
            ++total;
        }
    }
    print(prefix + "_frames", total, "count");
    print(prefix + "_frames_without_face", noFace, "count");
    for (const double t : thresholds) {
        int owner = 0, ownerChecks = 0, stranger = 0, strangerChecks = 0;
        for (std::size_t p = 0; p < frames.size(); ++p) {
            for (std::size_t q = 0; q < frames.size(); ++q) {
                for (std::size_t i = 0; i < frames[q].size(); ++i) {
                    if (p == q && i < 3)
                        continue;
                    const bool accepted = matches(enrolled[p], faces[q][i], t);
                    (p == q ? owner : stranger) += accepted;
                    ++(p == q ? ownerChecks : strangerChecks);
                }
            }
        }
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_at_%.1f", t);
        print(prefix + "_owner_accepted" + suffix, owner, "count");
        print(prefix + "_stranger_accepted" + suffix, stranger, "count");
        if (t == thresholds.front()) {
            print(prefix + "_owner_checks", ownerChecks, "count");
            print(prefix + "_stranger_checks", strangerChecks, "count");
        }
    }
}

void measureEmpty(const std::string &prefix, const Extract &extract, const std::vector<platform::Image> &frames)
{
    int withFace = 0;
    for (const auto &frame : frames)
        withFace += !extract(frame).empty();
    print(prefix + "_frames", double(frames.size()), "count");
    print(prefix + "_frames_with_face", withFace, "count");
}

} // namespace

int main(int argc, char **argv)
{
    const std::set<std::string> chosen(argv + 1, argv + argc);
    const auto people = devdata::identitySet(FACIWARD_DEV_DATA_DIR);
    const presence::Recognizer::Model model = presence::Recognizer::loadModel();
    const auto rawDetector =
        platform::FaceRectangles::create(platform::FaceModels::Paths::standard().faceDetector, false);
    const Pipeline pipe{model, *rawDetector};

    // Enrolment in normal light, by the application's own path; the sets.
    std::vector<Embeddings> enrolled(people.size());
    std::vector<std::vector<platform::Image>> normal(people.size()), dim(people.size()), shadow(people.size()),
        shadowFar(people.size());
    const std::vector<int> wallLevels{60, 100, 120};
    std::vector<std::vector<std::vector<platform::Image>>> walls(wallLevels.size(),
                                                                 std::vector<std::vector<platform::Image>>(people.size()));
    std::uint64_t seed = 1;
    for (std::size_t p = 0; p < people.size(); ++p) {
        for (std::size_t i = 0; i < people[p].pictures.size(); ++i) {
            const platform::Image frame = devdata::webcamFrame(people[p].pictures[i]);
            if (i < 3) {
                for (auto &e : pipe.product(frame))
                    enrolled[p].push_back(std::move(e));
            }
            normal[p].push_back(frame);
            shadow[p].push_back(devdata::shadowedFaceFrame(people[p].pictures[i], 5000 + seed));
            shadowFar[p].push_back(devdata::shadowedFaceFrame(people[p].pictures[i], 7000 + seed, 1.0));
            dim[p].push_back(devdata::dimFrame(frame, seed++));
            for (std::size_t w = 0; w < wallLevels.size(); ++w)
                walls[w][p].push_back(devdata::wallFrame(people[p].pictures[i], wallLevels[w]));
        }
    }
    std::vector<platform::Image> darkEmpty, moreDarkEmpty, shadowEmpty, patchEmpty;
    for (int i = 40; i < 240; ++i)
        moreDarkEmpty.push_back(devdata::darkEmptyFrame(1000 + i));
    for (int i = 0; i < 40; ++i) {
        darkEmpty.push_back(devdata::darkEmptyFrame(1000 + i));
        shadowEmpty.push_back(devdata::shadowed(devdata::litEmptyFrame(2000 + i), cv::Rect(170, 90, 300, 300), 3000 + i));
    }
    // Lit empty rooms with a shadowed patch of any size anywhere: the pass for
    // faces in shadow runs on every one of them.
    cv::RNG patchRng(99);
    for (int i = 0; i < 200; ++i) {
        const int w = patchRng.uniform(120, 400), h = patchRng.uniform(120, 400);
        const cv::Rect patch(patchRng.uniform(0, 640 - w), patchRng.uniform(0, 480 - h), w, h);
        patchEmpty.push_back(devdata::shadowed(devdata::litEmptyFrame(9000 + i), patch, 9500 + i));
    }

    // A pass on the frame changed by @p change when the application's finds no
    // face; crops from the changed frame or from the frame as it is.
    const auto retry = [&pipe](platform::Image (*change)(const platform::Image &), bool cropChanged) -> Extract {
        return [&pipe, change, cropChanged](const platform::Image &f) {
            Embeddings e = pipe.product(f);
            if (!e.empty())
                return e;
            const platform::Image l = change(f);
            return pipe.embed(cropChanged ? l : f, pipe.detect(l));
        };
    };
    const auto gainApplies = [](const platform::Image &f) { return platform::LowLight::gain(f) != 1.0; };
    const std::vector<std::pair<std::string, Extract>> ways{
        // The ways below detect with the network alone and embed as the
        // application does (a dark face brightened for its embedding).
        // Detection on the plain frame: as before dark frames were brightened.
        {"none", [&](const platform::Image &f) { return pipe.embed(f, pipe.detect(f)); }},
        // CLAHE on dark frames, for detection and crop.
        {"clahe_detect_crop",
         [&](const platform::Image &f) {
             const platform::Image l = gainApplies(f) ? claheOnLuminance(f) : f;
             return pipe.embed(l, pipe.detect(l));
         }},
        // The gain for detection and crop.
        {"gain_detect_crop",
         [&](const platform::Image &f) {
             const platform::Image g = gained(f);
             return pipe.embed(g, pipe.detect(g));
         }},
        // The gain for detection only, crops from the frame: the detection of
        // the application until the gain stopped costing faces of the plain frame.
        {"gain_detect", [&](const platform::Image &f) { return pipe.embed(f, pipe.detect(gained(f))); }},
        // The plain frame first; the brightened one when it shows no face.
        {"plain_then_gain",
         [&](const platform::Image &f) {
             Boxes b = pipe.detect(f);
             if (b.empty() && gainApplies(f))
                 b = pipe.detect(gained(f));
             return pipe.embed(f, b);
         }},
        // The brightened frame first; the plain one when it shows no face.
        {"gain_then_plain",
         [&](const platform::Image &f) {
             Boxes b = gainApplies(f) ? pipe.detect(gained(f)) : Boxes{};
             if (b.empty())
                 b = pipe.detect(f);
             return pipe.embed(f, b);
         }},
        // Both when the gain applies: the brightened frame's faces, and those of
        // the plain frame that none of them covers.
        {"gain_and_plain",
         [&](const platform::Image &f) {
             Boxes b = gainApplies(f) ? pipe.detect(gained(f)) : Boxes{};
             for (const auto &p : pipe.detect(f)) {
                 if (std::none_of(b.begin(), b.end(), [&](const auto &g) { return overlaps(g.rect, p.rect); }))
                     b.push_back(p);
             }
             return pipe.embed(f, b);
         }},
        // The application (a lit frame that shows no face is looked at again,
        // brightened three times; a dark face is brightened for its embedding),
        // and the other candidates for a face in shadow on top of it: another
        // pass on the frame with CLAHE on its luminance or a gamma lift; the
        // crop's luminance normalised to a fixed mean and spread.
        {"product", [&](const platform::Image &f) { return pipe.product(f); }},
        // The application's passes with the frames brightened but not smoothed
        // first.
        {"passes_unsmoothed",
         [&](const platform::Image &f) {
             const double g = platform::LowLight::gain(f);
             Boxes b;
             if (g != 1.0) {
                 b = pipe.detect(platform::LowLight::brightened(f, g));
                 if (b.empty())
                     b = pipe.detect(f);
             } else {
                 b = pipe.detect(f);
                 if (b.empty())
                     b = pipe.detect(platform::LowLight::brightened(f, platform::LowLight::shadowGain));
             }
             return pipe.embed(f, b);
         }},
        {"product_clahe_retry", retry(claheOnLuminance, false)},
        {"product_clahe_retry_crop", retry(claheOnLuminance, true)},
        {"product_gamma_retry", retry(gammaLifted, false)},
        {"product_gamma_retry_crop", retry(gammaLifted, true)},
        {"product_normalised_crop", [&](const platform::Image &f) { return pipe.product(f, normalisedCrop); }},
    };

    for (const auto &[name, extract] : ways) {
        if (!chosen.empty() && !chosen.count(name))
            continue;
        measureSet(name + "_dim", extract, enrolled, dim, {0.6, 0.7, 0.8});
        for (std::size_t w = 0; w < wallLevels.size(); ++w)
            measureSet(name + "_wall_" + std::to_string(wallLevels[w]), extract, enrolled, walls[w], {0.6});
        measureSet(name + "_shadow", extract, enrolled, shadow, {0.6});
        measureSet(name + "_shadow_far", extract, enrolled, shadowFar, {0.6});
        measureSet(name + "_normal", extract, enrolled, normal, {0.6});
        measureEmpty(name + "_empty_dark", extract, darkEmpty);
        measureEmpty(name + "_empty_dark_more", extract, moreDarkEmpty);
        measureEmpty(name + "_empty_shadowed", extract, shadowEmpty);
        measureEmpty(name + "_empty_shadow_patches", extract, patchEmpty);

        // Cost on a frame in normal light, a dark one and a shadowed one, and on
        // empty rooms, lit and dark: the passes for dark and shadowed faces run
        // when the first finds nothing.
        for (const auto &[kind, frame] :
             {std::pair{"normal", normal[0][0]}, std::pair{"dark", dim[0][0]}, std::pair{"shadow", shadow[0][0]},
              std::pair{"shadow_far", shadowFar[0][0]}, std::pair{"lit_empty", shadowEmpty[0]},
              std::pair{"dark_empty", darkEmpty[0]}}) {
            std::vector<double> times;
            for (int r = 0; r < 30; ++r)
                times.push_back(bench::timeMs([&] { extract(frame); }));
            print(name + "_" + kind + "_frame_ms_median", bench::median(times), "ms");
        }
    }
    return 0;
}
