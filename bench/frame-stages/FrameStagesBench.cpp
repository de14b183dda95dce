// Prints one JSON object per line: {"bench":"frame-stages","metric":…,"value":…,"unit":…}.
//
// Where the time of one frame goes, decode aside: the detector (its network
// alone, and the whole call with the frame's scaling and the boxes), the crop,
// the landmarks, the alignment, the embedding network, the comparison with
// three enrolled embeddings; medians over many frames, each stage timed in
// every round so that a busy machine weighs on all alike. Then model loading,
// as `faciward check` starts: the three models one after another, and
// together as FaceModels::load does it. Last, where each network's time goes:
// its layers' times summed by kind (pointwise, 3×3, depthwise, softmax…),
// and with "layers" each layer's own. Pin it to the cores to measure:
//   taskset -c 2 bench/frame-stages/frame_stages_bench [rounds [layers]]
// bench/frame-stages/onnxruntime-reference.js times the two networks in
// ONNX Runtime for comparison; bench/frame-stages/compare-onnxruntime runs
// both in turn, on one core and on two, and prints the medians side by side.

#include "bench/BenchFigures.h"
#include "bench/recognition/DevelopmentSet.h"
#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "Faciward/Presence/Recognition/Similarity.h"
#include "Platform/Vision/DepthwiseConvolution.h"
#include "Platform/Vision/EmbeddingModel.h"
#include "Platform/Vision/FaceAlignment.h"
#include "Platform/Vision/FaceCrop.h"
#include "Platform/Vision/FaceModels.h"
#include "Platform/Vision/OnnxNetwork.h"

#include <opencv2/dnn.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

using namespace faciward;
using bench::median;
using bench::timeMs;

namespace {

void print(const std::string &metric, double value, const char *unit)
{
    bench::printFigure("frame-stages", metric, value, unit);
}

cv::Mat zeros(int height, int width)
{
    return cv::Mat(std::vector<int>{1, 3, height, width}, CV_32F, cv::Scalar(0));
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    // Every layer's own median too, with "layers" as a second argument.
    const bool perLayer = argc > 2 && std::string(argv[2]) == "layers";
    const auto paths = platform::FaceModels::Paths::standard();

    // --- loading -----------------------------------------------------------------
    print("load_landmarks_ms", timeMs([&] { platform::FaceLandmarks::load(paths.landmarks); }), "ms");
    print("load_detector_ms", timeMs([&] { platform::FaceRectangles::create(paths.faceDetector); }), "ms");
    std::shared_ptr<const platform::FaceModels> models;
    print("load_all_ms", timeMs([&] { models = platform::FaceModels::load(paths); }), "ms");
    print("load_embedding_ms",
          timeMs([&] { platform::EmbeddingModel::create(paths.embeddingNetwork, models->landmarks()); }), "ms");

    // --- one frame, stage by stage ----------------------------------------------
    const auto people = devdata::identitySet(FACIWARD_DEV_DATA_DIR);
    const platform::Image frame = devdata::webcamFrame(people.front().pictures.front());
    const auto detectorNetwork = platform::OnnxNetwork::load(paths.faceDetector, {"boxes", "scores"}, zeros(240, 320), 1);
    const auto embeddingNetwork = platform::OnnxNetwork::load(
        paths.embeddingNetwork, {"output"}, zeros(platform::FaceAlignment::size, platform::FaceAlignment::size), 1);
    const presence::FaceDetector detector(models->faceRectangles());
    const cv::Mat detectorBlob =
        cv::dnn::blobFromImage(frame, 1.0 / 128, cv::Size(320, 240), cv::Scalar::all(127), false, false);
    const cv::Size cropSize(presence::FaceDetector::cropSize, presence::FaceDetector::cropSize);
    std::vector<std::vector<double>> enrolled(3);

    std::map<std::string, std::vector<double>> times;
    cv::Mat alignedBlob; // the last round's input of the embedding network
    for (int round = 0; round < rounds; ++round) {
        std::vector<platform::FaceBox> boxes;
        platform::Image crop, aligned;
        platform::FaceLandmarks::Points landmarks;
        std::vector<double> embedding;
        times["detector_network"].push_back(timeMs([&] { detectorNetwork->run(detectorBlob); }));
        times["detect"].push_back(timeMs([&] { boxes = models->faceRectangles()->detect(frame); }));
        times["crop"].push_back(timeMs(
            [&] { crop = platform::FaceCrop::cut(frame, platform::FaceCrop::region(boxes.at(0).rect), cropSize); }));
        times["landmarks"].push_back(timeMs([&] {
            landmarks = models->landmarks()->locate(crop, platform::FaceCrop::faceBoxInCrop(crop.size()));
        }));
        times["alignment"].push_back(timeMs([&] {
            aligned = platform::FaceAlignment::align(crop, platform::FaceAlignment::fivePoints(landmarks));
        }));
        times["embedding_network"].push_back(timeMs([&] {
            alignedBlob = platform::OnnxNetwork::blob(aligned); // as the embedding model makes it
            const cv::Mat out = embeddingNetwork->run(alignedBlob)[0];
            embedding.assign(out.ptr<float>(), out.ptr<float>() + out.total());
        }));
        for (auto &e : enrolled) {
            if (e.empty())
                e = embedding;
        }
        times["comparison"].push_back(timeMs([&] {
            for (const auto &e : enrolled)
                presence::Similarity().score(e, embedding);
        }));
        times["whole_frame"].push_back(timeMs([&] {
            for (const auto &face : detector.detect(frame))
                models->embeddingModel()->embedding(face);
        }));
    }
    // Each network again, run back to back as a bench of a network alone runs
    // it: its weights stay in the caches, which in a frame the other stages
    // push out. Compare these with a peer timed the same way.
    for (int round = 0; round < rounds; ++round)
        times["detector_network_back_to_back"].push_back(timeMs([&] { detectorNetwork->run(detectorBlob); }));
    for (int round = 0; round < rounds; ++round)
        times["embedding_network_back_to_back"].push_back(timeMs([&] { embeddingNetwork->run(alignedBlob); }));
    for (const auto &[stage, values] : times)
        print(stage + "_ms_median", median(values), "ms");

    // --- where each network's time goes, by kind of layer --------------------
    // The networks as OnnxNetwork runs them (its layers are installed by now,
    // and fused as it fuses them), each layer timed by OpenCV; medians over the rounds, summed by kind.
    const struct
    {
        const char *name;
        std::filesystem::path path;
        cv::Mat input;
        std::vector<std::string> outputs;
    } networks[] = {{"detector", paths.faceDetector, detectorBlob, {"boxes", "scores"}},
                    {"embedding", paths.embeddingNetwork,
                     zeros(platform::FaceAlignment::size, platform::FaceAlignment::size), {"output"}}};
    for (const auto &n : networks) {
        cv::dnn::Net net = cv::dnn::readNetFromONNX(n.path.string());
        net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
        net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
        platform::DepthwiseConvolution::fuse(net, cv::dnn::MatShape(n.input.size.p, n.input.size.p + n.input.dims));
        std::vector<std::vector<double>> layerTimes;
        std::vector<cv::Mat> outputs;
        for (int round = 0; round <= rounds; ++round) {
            net.setInput(n.input);
            net.forward(outputs, n.outputs);
            std::vector<double> ticks;
            net.getPerfProfile(ticks);
            layerTimes.resize(ticks.size());
            for (std::size_t i = 0; i < ticks.size() && round > 0; ++i) // the first round sets the layers up
                layerTimes[i].push_back(ticks[i] * 1000.0 / cv::getTickFrequency());
        }
        std::map<std::string, double> byKind;
        const auto names = net.getLayerNames();
        for (std::size_t i = 0; i < names.size() && i < layerTimes.size(); ++i) {
            const cv::Ptr<cv::dnn::Layer> layer = net.getLayer(names[i]);
            std::string kind = layer->type;
            if (kind == "Convolution" && !layer->blobs.empty() && layer->blobs[0].dims == 4) {
                const cv::Mat &w = layer->blobs[0];
                kind = std::string(w.size[1] == 1 && w.size[0] > 1 ? "depthwise_" : "convolution_") +
                       std::to_string(w.size[2]) + "x" + std::to_string(w.size[3]);
            }
            byKind[kind] += median(layerTimes[i]);
            if (perLayer && median(layerTimes[i]) > 0)
                print(std::string(n.name) + "_layer_" + std::to_string(i) + "_" + names[i] + "_" + kind + "_ms_median",
                      median(layerTimes[i]), "ms");
        }
        for (const auto &[kind, ms] : byKind)
            print(std::string(n.name) + "_layers_" + kind + "_ms_median", ms, "ms");
    }
    return 0;
}
