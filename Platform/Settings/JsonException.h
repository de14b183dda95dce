#pragma once

#include "Platform/Error/CaseException.h"
#include "Platform/Settings/JsonError.h"

#include <string>

namespace faciward::platform {

/// @brief The failure of the Json coder, carrying its JsonError case.
class JsonException : public CaseException<JsonError>
{
public:
    /// @param codingPath where in the value it happened, e.g. "[0].yaw"; empty at the top.
    JsonException(JsonError error, std::string description, std::string codingPath = {});

    /// @brief The cause alone, without the case or the path.
    const std::string &description() const { return m_description; }
    const std::string &codingPath() const { return m_codingPath; }

    /// @brief The same failure one level further out: @p component ("[3]" or ".name")
    /// is put in front of the coding path.
    JsonException nestedIn(const std::string &component) const;

private:
    std::string m_description;
    std::string m_codingPath;
};

} // namespace faciward::platform
