#pragma once

#include "Platform/Settings/PlistCast.h"
#include "SettingsStore/SerializableTraits.h"

#include <concepts>
#include <optional>

namespace faciward::prefs {

/// @brief A converter between a value the program holds (`Value`) and what the
/// store keeps (`Serializable`, a type a PlistValue holds unconverted).
///
/// Both operations are total: they never throw, and give nothing when the
/// conversion fails. Every bridge maps an empty input to an empty output.
template<class B>
concept PrefsBridge = std::default_initializable<B> &&
    requires(const B &bridge, const std::optional<typename B::Value> &value,
             const std::optional<typename B::Serializable> &serializable) {
        { bridge.serialize(value) } -> std::same_as<std::optional<typename B::Serializable>>;
        { bridge.deserialize(serializable) } -> std::same_as<std::optional<typename B::Value>>;
    } && platform::PlistCastable<typename B::Serializable>;

/// @brief The bridge of an optional: the wrapped type's bridge, called with the
/// same argument. An optional is stored exactly like the value it holds.
template<PrefsBridge Wrapped>
struct OptionalBridge
{
    using Value = typename Wrapped::Value;
    using Serializable = typename Wrapped::Serializable;

    std::optional<Serializable> serialize(const std::optional<Value> &value) const
    {
        return Wrapped{}.serialize(value);
    }
    std::optional<Value> deserialize(const std::optional<Serializable> &object) const
    {
        return Wrapped{}.deserialize(object);
    }
};

/// @brief What an element of a collection hands its bridge: the element as the
/// bridge's Value, an optional unwrapped to the value it holds, and nothing for
/// an optional that holds none (at any depth).
template<class Value, class E>
std::optional<Value> bridgeInput(const E &element)
{
    if constexpr (OptionalType<E>) {
        if (!element)
            return std::nullopt;
        return bridgeInput<Value>(*element);
    } else {
        return Value(element);
    }
}

} // namespace faciward::prefs
