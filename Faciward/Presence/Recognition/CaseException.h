#pragma once

#include <exception>

namespace faciward::presence {

/// @brief The exception that carries one case of an error enumeration @p E.
///
/// what() is the case's name, as `name(E)` (found next to the enumeration)
/// gives it: "couldNotFindFace", for example, which is also the line written
/// for a failed frame.
template<class E>
class CaseException : public std::exception
{
public:
    explicit CaseException(E error) noexcept : m_error(error) {}
    E error() const noexcept { return m_error; }
    const char *what() const noexcept override { return name(m_error).data(); }

private:
    E m_error;
};

} // namespace faciward::presence
