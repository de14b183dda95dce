#include "ImageItem.h"

namespace faciward::platform {

namespace {

std::string stringMember(const Json::Value &object, const char *name)
{
    try {
        return Json::string(Json::member(object, name));
    } catch (const JsonException &e) {
        throw e.nestedIn(name);
    }
}

} // namespace

Json::Value JsonCoding<settings::ImageItem>::encode(const settings::ImageItem &value)
{
    Json::Value object = Json::Value::object();
    object["key"] = value.key;
    object["url"] = value.url;
    return object;
}

settings::ImageItem JsonCoding<settings::ImageItem>::decode(const Json::Value &json)
{
    const auto &object = Json::object(json);
    return settings::ImageItem{stringMember(object, "key"), stringMember(object, "url")};
}

} // namespace faciward::platform
