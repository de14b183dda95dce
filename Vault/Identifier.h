#pragma once

#include <optional>
#include <string>

namespace faciward::vault {

/// @brief The name of a keychain service: a text that is never empty.
class Identifier
{
public:
    /// @brief The identifier for @p value, or none when @p value is empty.
    static std::optional<Identifier> nonEmpty(std::string value);

    const std::string &value() const { return m_value; }

    friend bool operator==(const Identifier &, const Identifier &) = default;
    friend auto operator<=>(const Identifier &, const Identifier &) = default;

private:
    explicit Identifier(std::string value)
        : m_value(std::move(value))
    {
    }

    std::string m_value;
};

} // namespace faciward::vault
