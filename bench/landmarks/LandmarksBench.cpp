// Prints one JSON object per line: {"bench":"landmarks","metric":…,"value":…,"unit":…}.
//
// The 68 landmarks of a face, on the crops `faciward check` makes of the
// identity pictures: warm, one face located again and again as a frame loop
// does (what bench/frame-stages measures); and cold, every cache emptied first
// by reading a buffer larger than the last-level cache, as when a check comes
// after minutes of idleness. Then the predictor's loading. Medians. Pin it to
// a core to measure:
//   taskset -c 5 bench/landmarks/landmarks_bench [rounds]

#include "bench/BenchFigures.h"
#include "bench/recognition/DevelopmentSet.h"
#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "Platform/Vision/FaceCrop.h"
#include "Platform/Vision/FaceModels.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace faciward;
using bench::median;
using bench::timeMs;

namespace {

void print(const std::string &metric, double value, const char *unit)
{
    bench::printFigure("landmarks", metric, value, unit);
}

// Larger than the last-level cache of the machines we measure on (32 MB), so
// that reading it through leaves none of the predictor cached.
constexpr std::size_t flushBytes = std::size_t(128) << 20;

// Reads every line of @p buffer (clean lines: evicting them later costs the
// landmarks nothing); the sum keeps the reads from being optimised away.
unsigned flushCaches(const std::vector<unsigned char> &buffer)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < buffer.size(); i += 64)
        sum += buffer[i];
    return sum;
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const auto paths = platform::FaceModels::Paths::standard();
    const auto models = platform::FaceModels::load(paths);
    const auto &landmarks = *models->landmarks();

    // The crops of the identity pictures, as the check cuts them from a webcam frame.
    const cv::Size cropSize(presence::FaceDetector::cropSize, presence::FaceDetector::cropSize);
    const cv::Rect2d faceBox = platform::FaceCrop::faceBoxInCrop(cropSize);
    std::vector<platform::Image> crops;
    for (const auto &person : devdata::identitySet(FACIWARD_DEV_DATA_DIR)) {
        for (const auto &picture : person.pictures) {
            const platform::Image frame = devdata::webcamFrame(picture);
            const auto boxes = models->faceRectangles()->detect(frame);
            if (!boxes.empty())
                crops.push_back(platform::FaceCrop::cut(frame, platform::FaceCrop::region(boxes.front().rect), cropSize));
        }
    }
    print("faces", double(crops.size()), "count");

    std::vector<double> warm, cold;
    std::vector<unsigned char> buffer(flushBytes, 1);
    unsigned sink = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const auto &crop : crops) {
            landmarks.locate(crop, faceBox);
            warm.push_back(timeMs([&] { landmarks.locate(crop, faceBox); }));
            sink += flushCaches(buffer);
            cold.push_back(timeMs([&] { landmarks.locate(crop, faceBox); }));
        }
    }
    print("landmarks_warm_ms_median", median(warm), "ms");
    print("landmarks_cold_ms_median", median(cold), "ms");

    std::vector<double> loads;
    for (int i = 0; i < 5; ++i)
        loads.push_back(timeMs([&] { platform::FaceLandmarks::load(paths.landmarks); }));
    print("load_landmarks_ms_median", median(loads), "ms");
    return sink == 0xFFFFFFFF ? 1 : 0; // never: keeps the flushing
}
