#include "FacePrecision.h"

namespace faciward::settings {

namespace {

constexpr std::array<std::string_view, 3> codingKeys{"low", "medium", "high"};

} // namespace

double similarityThreshold(FacePrecision precision)
{
    switch (precision) {
    case FacePrecision::low: return 0.6;
    case FacePrecision::medium: return 0.7;
    case FacePrecision::high: return 0.8;
    }
    return 0.6;
}

std::string_view title(FacePrecision precision)
{
    switch (precision) {
    case FacePrecision::low: return "Low";
    case FacePrecision::medium: return "Medium";
    case FacePrecision::high: return "High";
    }
    return "Low";
}

} // namespace faciward::settings

namespace faciward::platform {

Json::Value JsonCoding<settings::FacePrecision>::encode(settings::FacePrecision value)
{
    Json::Value object = Json::Value::object();
    object[std::string(settings::codingKeys[static_cast<std::size_t>(value)])] = Json::Value::object();
    return object;
}

settings::FacePrecision JsonCoding<settings::FacePrecision>::decode(const Json::Value &json)
{
    const auto &object = Json::object(json);
    const Json::Value *member = nullptr;
    std::size_t found = 0;
    std::size_t matches = 0;
    for (std::size_t i = 0; i < settings::codingKeys.size(); ++i) {
        const auto it = object.find(settings::codingKeys[i]);
        if (it != object.end()) {
            member = &*it;
            found = i;
            ++matches;
        }
    }
    if (matches != 1)
        throw JsonException(JsonError::typeMismatch, "Invalid number of keys found, expected one.");
    try {
        Json::object(*member);
    } catch (const JsonException &e) {
        throw e.nestedIn(std::string(settings::codingKeys[found]));
    }
    return static_cast<settings::FacePrecision>(found);
}

} // namespace faciward::platform
