#include "JsonException.h"

namespace faciward::platform {

namespace {

std::string message(JsonError error, const std::string &description, const std::string &codingPath)
{
    std::string text = std::string(name(error)) + ": " + description;
    if (!codingPath.empty())
        text += " (at " + codingPath + ")";
    return text;
}

} // namespace

JsonException::JsonException(JsonError error, std::string description, std::string codingPath)
    : CaseException<JsonError>(error, message(error, description, codingPath))
    , m_description(std::move(description))
    , m_codingPath(std::move(codingPath))
{
}

JsonException JsonException::nestedIn(const std::string &component) const
{
    std::string path = component;
    if (!m_codingPath.empty() && m_codingPath.front() != '[')
        path += '.';
    path += m_codingPath;
    return JsonException(error(), m_description, path);
}

std::string_view name(JsonError error)
{
    switch (error) {
    case JsonError::invalidValue: return "invalidValue";
    case JsonError::typeMismatch: return "typeMismatch";
    case JsonError::valueNotFound: return "valueNotFound";
    case JsonError::keyNotFound: return "keyNotFound";
    case JsonError::dataCorrupted: return "dataCorrupted";
    }
    return "unknown";
}

} // namespace faciward::platform
