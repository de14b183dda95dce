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
    /// `check` only, whose 0 and 1 are its verdict, as grep's are: the owner is
    /// present (0) or absent (1) in the pictures that could be read.
    exitOwnerAbsent = 1,
    /// `check` only: no picture could be read, the models could not be loaded, or
    /// the verdict could not be written.
    exitCheckFailed = 3,
};

/// @brief One command of the runner: `faciward NAME ARGUMENTS…`.
struct Command
{
    /// @brief The word that selects it, e.g. "check".
    std::string_view name;
    /// @brief Its arguments, for the usage line, e.g. "IMAGE…".
    std::string_view arguments;
    /// @brief What it does, in one line, for `faciward --help`.
    std::string_view summary;
    /// @brief The lines after its usage in `faciward NAME --help`: what it prints,
    /// its options and its exit codes.
    std::string_view details;
    /// @brief Runs it with the arguments after the name; returns the exit code.
    /// Returns exitUsage when the arguments do not fit (the runner then prints the usage).
    std::function<int(const std::vector<std::string> &arguments)> run;
    /// @brief The exit code when its work failed, standard output included.
    int failureCode = exitFailure;
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

/// @brief Says on standard error, in one line, why no face can be the owner's
/// when that is so: nothing is enrolled, or the enrolled embeddings are not of
/// the face model's length. A guard that cannot recognise its owner would
/// otherwise lock them out without a word.
void complainIfNobodyCanBeTheOwner();

/// @brief @p count and @p noun, the noun in the plural unless @p count is 1:
/// "1 picture", "3 pictures".
std::string counted(std::size_t count, std::string_view noun);

} // namespace faciward::shell
