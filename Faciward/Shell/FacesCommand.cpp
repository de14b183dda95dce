// faciward faces IMAGE
// Prints the faces of the picture as a JSON array, largest face first:
// [{"box":[x,y,w,h],"yaw":…,"roll":…,"pitch":…,"embedding":[…]}, …]
// Angles in degrees; the box in pixels of the picture. A picture without a
// face prints []. An angle or embedding that cannot be measured is null.

#include "Faciward/Presence/Recognition/FaceDetector.h"
#include "Faciward/Presence/Recognition/FaceParameters.h"
#include "Faciward/Presence/Recognition/Recognizer.h"
#include "Faciward/Shell/Command.h"
#include "Faciward/Shell/PictureFile.h"
#include "Platform/Settings/Json.h"
#include "Platform/Vision/HeadPose.h"

#include <cmath>
#include <cstdio>

namespace faciward::shell {

namespace {

using Json = platform::Json;

Json::Value number(double value)
{
    return std::isfinite(value) ? Json::Value(value) : Json::Value(nullptr);
}

Json::Value describe(const presence::FaceDetector::Face &face, const platform::Image &frame,
                     const presence::Recognizer::Model &models)
{
    Json::Value object = Json::Value::object();
    const cv::Rect2d &r = face.box.rect;
    object["box"] = Json::Value::array({std::lround(r.x), std::lround(r.y), std::lround(r.width), std::lround(r.height)});

    try {
        const auto pose = presence::FaceParameters::fromRadians(
            platform::HeadPose::measure(frame, r, *models->faceRectangles(), *models->landmarks()));
        object["yaw"] = number(pose.yaw);
        object["roll"] = number(pose.roll);
        object["pitch"] = number(pose.pitch);
    } catch (const std::exception &) {
        object["yaw"] = object["roll"] = object["pitch"] = nullptr;
    }

    try {
        Json::Value embedding = Json::Value::array();
        for (double v : presence::Recognizer(models).recognize(face.picture))
            embedding.push_back(number(v));
        object["embedding"] = std::move(embedding);
    } catch (const presence::Recognizer::Exception &) {
        object["embedding"] = nullptr;
    }
    return object;
}

int run(const std::vector<std::string> &arguments)
{
    if (arguments.size() != 1)
        return exitUsage;
    const PictureFile picture(arguments[0]);
    if (!picture.isReadable()) {
        complain(picture.path() + ": " + picture.error());
        return exitFailure;
    }
    const auto models = loadModelsOrComplain();
    if (!models)
        return exitFailure;

    Json::Value faces = Json::Value::array();
    try {
        for (const auto &face : presence::FaceDetector(models->faceRectangles()).detectFaces(picture.image()))
            faces.push_back(describe(face, picture.image(), models));
    } catch (const presence::FaceDetector::Exception &e) {
        if (e.error() != presence::FaceDetector::Error::couldNotFindFace) {
            complain(picture.path() + ": " + e.what());
            return exitFailure;
        }
    }
    std::printf("%s\n", Json::encode(faces).c_str());
    return exitSuccess;
}

constexpr std::string_view details =
    "Prints the faces of the picture as one JSON array, largest face first:\n"
    "[{\"box\":[x,y,width,height],\"yaw\":…,\"roll\":…,\"pitch\":…,\"embedding\":[…]}, …]\n"
    "The box is in pixels of the picture, the angles in degrees; [] when there is no face.\n"
    "\n"
    "Exit codes: 0 done, 1 the picture or the models could not be read, or standard\n"
    "output could not be written, 2 a wrong command line.\n";

} // namespace

Command facesCommand()
{
    return {"faces", "IMAGE", "the faces of a picture as JSON: box, head pose, embedding", details, run};
}

} // namespace faciward::shell
