#pragma once

#include "Platform/Settings/JsonCoding.h"
#include "SettingsStore/PrefsCodableBridge.h"
#include "SettingsStore/PrefsNativeType.h"
#include "SettingsStore/PrefsSerializable.h"

#include <QtCore/QString>
#include <QtCore/QUrl>

namespace faciward::platform {

/// @brief A web address is coded as its absolute text, fully percent-encoded.
/// Reading refuses empty and invalid text, as does writing an invalid address.
template<>
struct JsonCoding<QUrl>
{
    static Json::Value encode(const QUrl &url)
    {
        if (!url.isValid() || url.isEmpty())
            throw JsonException(JsonError::invalidValue, "The URL is not valid.");
        return Json::Value(url.toString(QUrl::FullyEncoded).toStdString());
    }
    static QUrl decode(const Json::Value &json)
    {
        const std::string &text = Json::string(json);
        const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
        if (text.empty() || !url.isValid())
            throw JsonException(JsonError::dataCorrupted, "Invalid URL string.");
        return url;
    }
};

} // namespace faciward::platform

namespace faciward::prefs {

/// @brief The bridge of web addresses: the JSON text of the address, so
/// "file:///a/b" is stored as "\"file:\/\/\/a\/b\"".
struct URLBridge : PrefsCodableBridge<QUrl>
{
};

template<>
struct SerializableTraits<QUrl> : BridgedSerializable<URLBridge>
{
};

/// @brief An older format wrote an address as the JSON text of the address
/// itself, so migration decodes it as an address (and "null" as none).
template<>
struct NativeForm<QUrl> : SelfNativeForm<QUrl>
{
};

} // namespace faciward::prefs
