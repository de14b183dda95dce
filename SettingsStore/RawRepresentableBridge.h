#pragma once

#include <concepts>
#include <optional>

namespace faciward::prefs {

/// @brief The raw value of a type that is represented by one (an enumeration
/// with integer values, say). A specialisation provides
///     using RawValue = …;
///     static RawValue rawValue(const T &value);
///     static std::optional<T> fromRawValue(const RawValue &raw); // nothing when raw names no value
template<class T>
struct RawRepresentation;

template<class T>
concept RawRepresentable = requires(const T &value, const typename RawRepresentation<T>::RawValue &raw) {
    { RawRepresentation<T>::rawValue(value) } -> std::convertible_to<typename RawRepresentation<T>::RawValue>;
    { RawRepresentation<T>::fromRawValue(raw) } -> std::same_as<std::optional<T>>;
};

/// @brief Keeps a raw-representable value as its raw value; a raw value that
/// names no value reads as nothing.
template<RawRepresentable V>
struct RawRepresentableBridge
{
    using Value = V;
    using Serializable = typename RawRepresentation<V>::RawValue;

    std::optional<Serializable> serialize(const std::optional<V> &value) const
    {
        if (!value)
            return std::nullopt;
        return RawRepresentation<V>::rawValue(*value);
    }

    std::optional<V> deserialize(const std::optional<Serializable> &raw) const
    {
        if (!raw)
            return std::nullopt;
        return RawRepresentation<V>::fromRawValue(*raw);
    }
};

} // namespace faciward::prefs
