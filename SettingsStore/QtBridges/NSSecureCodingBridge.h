#pragma once

#include "SettingsStore/PrefsSerializable.h"
#include "SettingsStore/QtBridges/KeyedArchive.h"

#include <QtCore/QDataStream>
#include <QtCore/QString>

#include <concepts>
#include <optional>

namespace faciward::prefs {

/// @brief How objects of T are kept in a keyed archive. A specialisation provides
///     static QString className();                          // the class tag of the archive
///     static void encode(QDataStream &out, const T &value);
///     static std::optional<T> decode(QDataStream &in);      // nothing when the stream is not a T
template<class T>
struct SecureCoding;

template<class T>
concept SecureCodable = requires(QDataStream &stream, const T &value) {
    { SecureCoding<T>::className() } -> std::convertible_to<QString>;
    SecureCoding<T>::encode(stream, value);
    { SecureCoding<T>::decode(stream) } -> std::same_as<std::optional<T>>;
};

/// @brief Keeps a securely codable object as the data of its keyed archive.
/// Archiving failures give nothing, silently; data that is no archive prints one
/// line and gives nothing; an archive of another class gives nothing, silently.
template<SecureCodable T>
struct NSSecureCodingBridge
{
    using Value = T;
    using Serializable = platform::PlistData;

    std::optional<platform::PlistData> serialize(const std::optional<T> &value) const
    {
        if (!value)
            return std::nullopt;
        return KeyedArchive::archive(SecureCoding<T>::className(),
                                     [&](QDataStream &out) { SecureCoding<T>::encode(out, *value); });
    }

    std::optional<T> deserialize(const std::optional<platform::PlistData> &data) const
    {
        if (!data)
            return std::nullopt;
        std::optional<T> result;
        const bool read = KeyedArchive::unarchive(*data, SecureCoding<T>::className(), [&](QDataStream &in) {
            result = SecureCoding<T>::decode(in);
            return result.has_value();
        });
        return read ? result : std::nullopt;
    }
};

} // namespace faciward::prefs
