#include "ImageItem.h"

#include "SettingsStore/QtBridges/URLBridge.h"

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

// The address as it was written, once the URL coder has accepted it: reading
// it back as a QUrl would rewrite some valid addresses (a capital scheme, an
// escaped "~"), and with them the stored list.
std::string urlMember(const Json::Value &object, const char *name)
{
    try {
        const Json::Value &member = Json::member(object, name);
        JsonCoding<QUrl>::decode(member);
        return Json::string(member);
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
    return settings::ImageItem{stringMember(object, "key"), urlMember(object, "url")};
}

} // namespace faciward::platform
