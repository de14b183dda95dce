#include "Faciward/Presence/Recognition/FaceParameters.h"

namespace faciward::presence {

namespace {

constexpr double pi = 3.141592653589793;

// Multiplying by 180 / pi instead rounds differently for about one angle in four.
double degrees(double radians)
{
    return radians * 180.0 / pi;
}

} // namespace

FaceParameters FaceParameters::fromRadians(const platform::HeadPose &pose)
{
    return FaceParameters{degrees(pose.yaw), degrees(pose.roll), degrees(pose.pitch)};
}

} // namespace faciward::presence

namespace faciward::platform {

Json::Value JsonCoding<presence::FaceParameters>::encode(const presence::FaceParameters &value)
{
    Json::Value object = Json::Value::object();
    object["yaw"] = JsonCoding<double>::encode(value.yaw);
    object["roll"] = JsonCoding<double>::encode(value.roll);
    object["pitch"] = JsonCoding<double>::encode(value.pitch);
    return object;
}

presence::FaceParameters JsonCoding<presence::FaceParameters>::decode(const Json::Value &json)
{
    presence::FaceParameters value;
    const auto read = [&json](const char *key) {
        try {
            return JsonCoding<double>::decode(Json::member(json, key));
        } catch (const JsonException &e) {
            throw e.error() == JsonError::keyNotFound ? e : e.nestedIn(std::string(".") + key);
        }
    };
    value.yaw = read("yaw");
    value.roll = read("roll");
    value.pitch = read("pitch");
    return value;
}

} // namespace faciward::platform
