#pragma once

#include "Faciward/Presence/Recognition/Recognizer.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace faciward::shell {

/// @brief Exit codes of the runner.
enum ExitCode : int {
    exitSuccess = 0,
    /// The command ran but its input was bad or its work failed (one line on standard error says why).
    exitFailure = 1,
    /// The command line itself is wrong; the usage is printed on standard error.
    exitUsage = 2,
};

/// @brief One command of the runner: `faciward NAME ARGUMENTS…`.
struct Command
{
    /// @brief The word that selects it, e.g. "check".
    std::string_view name;
    /// @brief Its arguments, for the usage line, e.g. "IMAGE…".
    std::string_view arguments;
    /// @brief Runs it with the arguments after the name; returns the exit code.
    /// Returns exitUsage when the arguments do not fit (the runner then prints the usage).
    std::function<int(const std::vector<std::string> &arguments)> run;
};

/// @brief `faces IMAGE`: the faces of a picture as JSON (FacesCommand.cpp).
Command facesCommand();
/// @brief `enrol IMAGE…`: stores the embeddings of the pictures (EnrolCommand.cpp).
Command enrolCommand();
/// @brief `check IMAGE…`: whether the owner is in each picture (CheckCommand.cpp).
Command checkCommand();
/// @brief `run [--camera DEVICE|VIDEO|FOLDER] [--assume-idle] [--once]`: the check
/// cycle on the real devices, one line per event (RunCommand.cpp).
Command runCommand();

/// @brief Writes "faciward: " and @p message as one line on standard error
/// (platform::Diagnostics::print).
void complain(const std::string &message);

/// @brief @p path with its control characters escaped, for standard output:
/// a file name cannot forge a line.
std::string printable(const std::string &path);

/// @brief The face models, or null after complaining that they cannot be loaded.
presence::Recognizer::Model loadModelsOrComplain();

} // namespace faciward::shell
