#pragma once

#include "CaptureError.h"
#include "Platform/Error/CaseException.h"

#include <filesystem>
#include <string>

namespace faciward::platform {

/// @brief A capture failure: its case, the device's path and a one-line detail.
///
/// `what()` reads "PATH: DETAIL" (just the detail when there is no path). The detail alone is the system's text for the
/// cause ("Device or resource busy"), which callers can show on its own.
class CaptureException : public CaseException<CaptureError>
{
public:
    CaptureException(CaptureError error, const std::filesystem::path &path, std::string detail);

    const std::filesystem::path &path() const { return m_path; }
    const std::string &detail() const { return m_detail; }

    /// @brief The failure that opening @p path reported with @p errorNumber.
    static CaptureException fromErrno(int errorNumber, const std::filesystem::path &path);

private:
    std::filesystem::path m_path;
    std::string m_detail;
};

} // namespace faciward::platform
