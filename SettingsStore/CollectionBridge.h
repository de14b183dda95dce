#pragma once

#include "Platform/Settings/PlistCast.h"
#include "SettingsStore/PrefsBridge.h"
#include "SettingsStore/SerializableTraits.h"

#include <concepts>
#include <optional>
#include <ranges>
#include <iterator>
#include <utility>
#include <vector>

namespace faciward::prefs {

namespace detail {

// The stored array of a sequence of elements: natively supported elements as
// they are (nothing at all when one is an empty optional, which the store
// cannot keep), others through their bridge (failures and empty optionals
// dropped).
template<class E, class Range>
std::optional<platform::PlistValue> storeElements(const Range &elements)
{
    using Traits = SerializableTraits<E>;
    platform::PlistArray array;
    for (const auto &element : elements) {
        if constexpr (Traits::isNativelySupported) {
            std::optional<platform::PlistValue> object = platform::PlistCast<E>::make(element);
            if (!object)
                return std::nullopt;
            array.push_back(std::move(*object));
        } else {
            using Bridge = typename Traits::Bridge;
            if (auto stored = Bridge{}.serialize(bridgeInput<typename Bridge::Value>(element)))
                array.push_back(platform::PlistCast<typename Bridge::Serializable>::make(*stored));
        }
    }
    return platform::PlistValue(std::move(array));
}

// The elements of a stored array: nothing when the array does not cast to an
// array of the elements' stored type; elements that do not convert are dropped.
template<class E>
std::optional<std::vector<E>> readElements(const std::optional<platform::PlistValue> &object)
{
    using Traits = SerializableTraits<E>;
    if (!object)
        return std::nullopt;
    if constexpr (Traits::isNativelySupported) {
        return platform::PlistCast<std::vector<E>>::cast(*object);
    } else {
        using Bridge = typename Traits::Bridge;
        auto stored = platform::PlistCast<std::vector<typename Bridge::Serializable>>::cast(*object);
        if (!stored)
            return std::nullopt;
        std::vector<E> result;
        for (const auto &element : *stored)
            if (auto value = Bridge{}.deserialize(element))
                result.push_back(E(std::move(*value)));
        return result;
    }
}

} // namespace detail

/// @brief Collection types built from an array of their elements, which the
/// store keeps as an array (see CollectionBridge).
template<class C>
concept PrefsCollectionSerializable = requires(const C &collection, std::vector<typename C::value_type> elements) {
    { collection.begin() } -> std::input_iterator;
    { collection.end() };
    C(std::move(elements));
};

/// @brief Set-like types that list their elements with toArray() and are built
/// from such a list (see SetAlgebraBridge).
template<class S>
concept PrefsSetAlgebraSerializable = requires(const S &set, std::vector<typename S::value_type> elements) {
    { set.toArray() } -> std::same_as<std::vector<typename S::value_type>>;
    S(std::move(elements));
};

namespace detail {

// What the bridges below share: a value kept as the array of its elements'
// stored forms. @p Elements lists a value's elements, @p Build makes a value
// from a vector of them.
template<class V, class Elements, class Build>
struct ElementArrayBridge
{
    using Value = V;
    using Serializable = platform::PlistValue;

    std::optional<Serializable> serialize(const std::optional<Value> &value) const
    {
        if (!value)
            return std::nullopt;
        return storeElements<typename V::value_type>(Elements{}(*value));
    }

    std::optional<Value> deserialize(const std::optional<Serializable> &object) const
    {
        auto elements = readElements<typename V::value_type>(object);
        if (!elements)
            return std::nullopt;
        return Build{}(std::move(*elements));
    }
};

struct ItsElements
{
    template<class V>
    const V &operator()(const V &value) const { return value; }
};

struct ItsArray
{
    template<class V>
    auto operator()(const V &value) const { return value.toArray(); }
};

template<class V>
struct FromVector
{
    V operator()(std::vector<typename V::value_type> &&elements) const { return V(std::move(elements)); }
};

template<class V>
struct FromRange
{
    V operator()(std::vector<typename V::value_type> &&elements) const
    {
        return V(std::make_move_iterator(elements.begin()), std::make_move_iterator(elements.end()));
    }
};

} // namespace detail

/// @brief Keeps a collection as an array of its elements' stored forms, in its
/// iteration order; reading builds the collection from the array.
template<PrefsCollectionSerializable C>
struct CollectionBridge : detail::ElementArrayBridge<C, detail::ItsElements, detail::FromVector<C>>
{
};

/// @brief Keeps a set (std::set, std::unordered_set) as an array of its
/// elements' stored forms in iteration order; reading builds the set again.
template<class S>
struct SetBridge : detail::ElementArrayBridge<S, detail::ItsElements, detail::FromRange<S>>
{
};

/// @brief Keeps a set-like value as the array of its toArray() elements' stored forms.
template<PrefsSetAlgebraSerializable S>
struct SetAlgebraBridge : detail::ElementArrayBridge<S, detail::ItsArray, detail::FromVector<S>>
{
};

} // namespace faciward::prefs
