#pragma once

#include <stdexcept>
#include <string>

namespace faciward::platform {

/// @brief The exception that carries one case of an error enumeration @p E.
///
/// Every typed failure of the project is one of these, or a class derived from
/// one that adds what its callers need (a path, a coding path). The case's name
/// comes from `name(E)`, declared next to the enumeration and found by
/// argument-dependent lookup: "couldNotFindFace", for example.
template<class E>
class CaseException : public std::runtime_error
{
public:
    using Error = E;

    /// @brief what() is the case's name, which is also the line written for it.
    explicit CaseException(E error)
        : std::runtime_error(std::string(name(error)))
        , m_error(error)
    {
    }

    /// @brief what() is @p text, a one-line description for people.
    CaseException(E error, const std::string &text)
        : std::runtime_error(text)
        , m_error(error)
    {
    }

    E error() const noexcept { return m_error; }

private:
    E m_error;
};

} // namespace faciward::platform
