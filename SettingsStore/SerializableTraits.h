#pragma once

#include <concepts>
#include <optional>
#include <type_traits>

namespace faciward::prefs {

/// @brief How values of T are kept in a settings store; a type whose traits are
/// complete satisfies the PrefsSerializable concept.
///
/// A specialisation provides
///     using Bridge = …;                                  // a PrefsBridge whose Value converts to T
///     static constexpr bool isNativelySupported = …;     // true: the store keeps T unconverted
/// The standard types are specialised in PrefsSerializable.h. A type of the
/// application opts in explicitly, usually through CodableSerializable
/// (JSON text) or NativeSerializable, so that the choice is never ambiguous.
template<class T>
struct SerializableTraits;

/// @brief Base of the traits of a natively supported type: kept unconverted, and
/// read through BridgeType when the stored object is of another type.
template<class BridgeType>
struct NativeSerializable
{
    using Bridge = BridgeType;
    static constexpr bool isNativelySupported = true;
};

/// @brief Base of the traits of a type that is always converted through BridgeType.
template<class BridgeType>
struct BridgedSerializable
{
    using Bridge = BridgeType;
    static constexpr bool isNativelySupported = false;
};

template<class T>
struct IsOptionalType : std::false_type
{
};
template<class T>
struct IsOptionalType<std::optional<T>> : std::true_type
{
};

/// @brief Values that can stand for the absence of a value: an empty optional is
/// never stored, and writing one removes the entry.
template<class T>
concept OptionalType = IsOptionalType<T>::value;

/// @brief Types with a value that stands for no value: optionals, and types whose
/// default value says isNil() (the type-erased value). A key of such a type may be
/// declared without a default; its default is then that value.
template<class T>
concept NilRepresentable = OptionalType<T> || (std::default_initializable<T> && requires(const T &value) {
                               { value.isNil() } -> std::convertible_to<bool>;
                           });

/// @brief Whether @p value stands for no value: an empty optional, or a value
/// whose isNil() says so (a type-erased value holding nothing). Such a value is
/// never stored: writing it removes the entry, and a key does not register it.
/// So is an optional holding such a value (some(none) of a nested optional),
/// for which the store has no form.
template<class T>
bool isNil(const T &value)
{
    if constexpr (OptionalType<T>)
        return !value.has_value() || isNil(*value);
    else if constexpr (requires { { value.isNil() } -> std::convertible_to<bool>; })
        return value.isNil();
    else
        return false;
}

} // namespace faciward::prefs
