#include "Platform/Vision/OnnxNetwork.h"

#include "Platform/Vision/CopyLayers.h"
#include "Platform/Vision/DepthwiseConvolution.h"
#include "Platform/Vision/EltwiseSum.h"
#include "Platform/Vision/InferenceThreads.h"
#include "Platform/Vision/LastAxisSoftmax.h"
#include "Platform/Vision/ResourcePool.h"
#include "Platform/Vision/VisionError.h"

#include <opencv2/dnn.hpp>

#include <fstream>
#include <iterator>

namespace faciward::platform {

namespace {

// OpenCV's loop back-end may only be replaced while no other thread uses
// OpenCV, which before main() none does.
[[maybe_unused]] const bool inferenceThreadsInstalled = (InferenceThreads::install(), true);

} // namespace

struct OnnxNetwork::Private
{
    std::filesystem::path path;
    std::vector<char> bytes;
    std::vector<std::string> outputNames;
    cv::dnn::MatShape inputShape; // of the warm-up input: the one the layers are fused for
    std::unique_ptr<ResourcePool<cv::dnn::Net>> pool;
};

OnnxNetwork::OnnxNetwork(std::unique_ptr<Private> d)
    : d(std::move(d))
{
}

OnnxNetwork::~OnnxNetwork() = default;

std::unique_ptr<OnnxNetwork> OnnxNetwork::load(const std::filesystem::path &path, std::vector<std::string> outputNames,
                                               const cv::Mat &warmUpInput, std::size_t copies)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw VisionException(VisionError::modelMissing, path.string());

    auto d = std::make_unique<Private>();
    d->path = path;
    d->outputNames = std::move(outputNames);
    d->inputShape.assign(warmUpInput.size.p, warmUpInput.size.p + warmUpInput.dims);
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw VisionException(VisionError::modelUnreadable, path.string());
        d->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (d->bytes.empty())
        throw VisionException(VisionError::modelUnreadable, path.string() + " (empty file)");

    DepthwiseConvolution::install();
    CopyLayers::install();
    LastAxisSoftmax::install();
    EltwiseSum::install();
    const Private *raw = d.get();
    d->pool = std::make_unique<ResourcePool<cv::dnn::Net>>([raw] {
        auto net = std::make_unique<cv::dnn::Net>(cv::dnn::readNetFromONNX(raw->bytes.data(), raw->bytes.size()));
        net->setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
        net->setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
        DepthwiseConvolution::fuse(*net, raw->inputShape);
        return net;
    });

    std::unique_ptr<OnnxNetwork> network(new OnnxNetwork(std::move(d)));
    try {
        // Every copy runs once now: a network sets up its layers on its first run.
        std::vector<ResourcePool<cv::dnn::Net>::Lease> leases;
        for (std::size_t i = 0; i < std::max<std::size_t>(copies, 1); ++i)
            leases.push_back(network->d->pool->acquire());
        for (auto &net : leases) {
            net->setInput(warmUpInput);
            std::vector<cv::Mat> outputs;
            net->forward(outputs, network->d->outputNames);
            if (outputs.size() != network->d->outputNames.size())
                throw VisionException(VisionError::modelUnreadable, path.string() + " (unexpected outputs)");
            for (const auto &out : outputs) {
                if (out.empty() || out.depth() != CV_32F)
                    throw VisionException(VisionError::modelUnreadable, path.string() + " (unexpected output)");
            }
        }
    } catch (const VisionException &e) {
        if (e.error() == VisionError::modelUnreadable)
            throw;
        throw VisionException(VisionError::modelUnreadable, path.string() + " (" + e.what() + ")");
    } catch (const std::exception &e) {
        throw VisionException(VisionError::modelUnreadable, path.string() + " (" + e.what() + ")");
    }
    return network;
}

cv::Mat OnnxNetwork::blob(const cv::Mat &picture)
{
    if (picture.depth() != CV_8U || picture.empty())
        throw VisionException(VisionError::inferenceFailed, "a network's input is made from an 8-bit picture");
    const int channels = picture.channels();
    cv::Mat blob(std::vector<int>{1, channels, picture.rows, picture.cols}, CV_32F);
    thread_local std::vector<cv::Mat> planes;
    cv::split(picture, planes);
    // Both values exact in a float, and so the result: as blobFromImage's.
    for (int c = 0; c < channels; ++c)
        planes[std::size_t(c)].convertTo(cv::Mat(picture.rows, picture.cols, CV_32F, blob.ptr<float>(0, c)), CV_32F,
                                         1.0 / 128, -127.0 / 128);
    return blob;
}

std::vector<cv::Mat> OnnxNetwork::run(const cv::Mat &blob) const
{
    try {
        auto net = d->pool->acquire();
        net->setInput(blob);
        std::vector<cv::Mat> outputs;
        // Into an empty vector, forward() copies each output out of the
        // network's own buffers (which the next caller reuses) into a Mat of
        // its own: the outputs are the caller's already, with no second copy.
        net->forward(outputs, d->outputNames);
        return outputs;
    } catch (const cv::Exception &e) {
        throw VisionException(VisionError::inferenceFailed, e.what());
    } catch (const std::bad_alloc &) {
        throw VisionException(VisionError::inferenceFailed, "out of memory");
    }
}

} // namespace faciward::platform
