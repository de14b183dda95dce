#pragma once

#include "CaptureError.h"

#include <filesystem>
#include <stdexcept>
#include <string>

namespace faciward::platform {

/// @brief A capture failure: its case, the device's path and a one-line detail.
///
/// `what()` reads "PATH: DETAIL" (just the detail when there is no path). The detail alone is the system's text for the
/// cause ("Device or resource busy"), which callers can show on its own.
class CaptureException : public std::runtime_error
{
public:
    CaptureException(CaptureError error, const std::filesystem::path &path, std::string detail);

    CaptureError error() const { return m_error; }
    const std::filesystem::path &path() const { return m_path; }
    const std::string &detail() const { return m_detail; }

    /// @brief The failure that opening @p path reported with @p errorNumber.
    static CaptureException fromErrno(int errorNumber, const std::filesystem::path &path);

private:
    CaptureError m_error;
    std::filesystem::path m_path;
    std::string m_detail;
};

} // namespace faciward::platform
