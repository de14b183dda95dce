// faciward: the headless runner. `faciward COMMAND ARGUMENTS…`
//
// To add a command: write NameCommand.cpp defining `Command nameCommand()`,
// declare it in Command.h, add the file to CMakeLists.txt and the call to the
// list below. The list's order is the order of the usage lines.

#include "Faciward/Settings/Keys.h"
#include "Faciward/Shell/Command.h"
#include "Platform/Error/ErrnoText.h"
#include "Platform/Runtime/Diagnostics.h"
#include "SettingsStore/Prefs.h"

#include <opencv2/core/utils/logger.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace faciward::shell {

namespace {

std::vector<Command> allCommands()
{
    return {facesCommand(), enrolCommand(), checkCommand(), runCommand()};
}

void printUsage(const std::vector<Command> &commands, std::FILE *to = stderr)
{
    for (const auto &c : commands)
        std::fprintf(to, "usage: faciward %.*s %.*s\n", int(c.name.size()), c.name.data(), int(c.arguments.size()),
                     c.arguments.data());
}

// `faciward --help`: every command with its summary, on standard output.
void printHelp(const std::vector<Command> &commands)
{
    printUsage(commands, stdout);
    std::printf("       faciward help [COMMAND] | --help | -h | --version\n\n");
    for (const auto &c : commands)
        std::printf("  %-6.*s %.*s\n", int(c.name.size()), c.name.data(), int(c.summary.size()), c.summary.data());
    std::printf("\n`faciward COMMAND --help` tells more of each command.\n");
}

// `faciward NAME --help`: the command's usage, then its details.
void printHelp(const Command &command)
{
    printUsage({command}, stdout);
    std::printf("\n%.*s\n", int(command.summary.size()), command.summary.data());
    if (!command.details.empty())
        std::printf("\n%.*s", int(command.details.size()), command.details.data());
}

bool isHelp(std::string_view argument)
{
    return argument == "--help" || argument == "-h";
}

// A process started with standard input, output or error closed would hand
// those numbers to the first files it opens: the signal pipe would become
// standard output, and every event line a SIGTERM. /dev/null takes them first.
void occupyStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() returns the lowest free number: this one.
        if (::open("/dev/null", O_RDWR) < 0)
            std::abort(); // not even /dev/null: nothing sound can be run
    }
}

// The command's output must have reached its reader: a verdict or an
// enrolment that cannot be written is a failure, not a success.
bool outputWasWritten()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    const int error = errno;
    complain(std::string("cannot write to standard output") +
             (error ? std::string(": ") + platform::errnoText(error) : ""));
    return false;
}

} // namespace

std::string counted(std::size_t count, std::string_view noun)
{
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

void complain(const std::string &message)
{
    platform::Diagnostics::print(message);
}

std::string printable(const std::string &path)
{
    return platform::Diagnostics::printable(path);
}

presence::Recognizer::Model loadModelsOrComplain()
{
    try {
        return presence::Recognizer::loadModel();
    } catch (const std::exception &e) {
        complain(std::string("cannot load the face models: ") + e.what());
        return nullptr;
    }
}

void complainIfNobodyCanBeTheOwner()
{
    const auto embeddings = prefs::Prefs::get(settings::Keys::embeddings());
    if (embeddings.empty()) {
        complain("no owner is enrolled, so every face is a stranger's; enrol with \"faciward enrol IMAGE…\"");
        return;
    }
    const auto wrong = std::find_if(embeddings.begin(), embeddings.end(), [](const auto &embedding) {
        return embedding.size() != presence::Recognizer::embeddingSize;
    });
    if (wrong != embeddings.end())
        complain("an enrolled embedding has " + counted(wrong->size(), "number") + " where the face model gives " +
                 std::to_string(presence::Recognizer::embeddingSize) +
                 ", so it matches no face; enrol again with \"faciward enrol IMAGE…\"");
}

int runMain(int argc, char **argv)
{
    // OpenCV's and FFmpeg's own lines would break the one-line, prefixed
    // convention of standard error; every failure they report reaches the
    // runner as an error of its own. FFmpeg's level is read from the
    // environment on the first open, so it is set before any thread starts.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 1);

    const std::vector<Command> commands = allCommands();
    if (argc < 2) {
        printUsage(commands);
        return exitUsage;
    }
    std::string name = argv[1];
    std::vector<std::string> arguments(argv + 2, argv + argc);
    if (name == "--version" && arguments.empty()) {
        std::printf("faciward %s\n", FACIWARD_VERSION);
        return outputWasWritten() ? exitSuccess : exitFailure;
    }
    bool help = false;
    if (isHelp(name) || name == "help") {
        if (arguments.empty()) {
            printHelp(commands);
            return outputWasWritten() ? exitSuccess : exitFailure;
        }
        if (name != "help" || arguments.size() != 1) {
            printUsage(commands);
            return exitUsage;
        }
        name = arguments.front();
        arguments.clear();
        help = true;
    }
    const auto command = std::find_if(commands.begin(), commands.end(), [&](const Command &c) { return c.name == name; });
    if (command == commands.end()) {
        complain("unknown command \"" + name + "\"");
        printUsage(commands);
        return exitUsage;
    }
    // "--" ends the options: what follows is never taken for one, so a picture
    // may be called "-h".
    const auto end = std::find(arguments.begin(), arguments.end(), "--");
    if (help || std::any_of(arguments.begin(), end, isHelp)) {
        printHelp(*command);
        return outputWasWritten() ? exitSuccess : exitFailure;
    }
    if (end != arguments.end())
        arguments.erase(end);
    const int code = command->run(arguments);
    if (code == exitUsage)
        printUsage({*command});
    // A command that failed has said why; a second line about its output would
    // only repeat it.
    if (code != command->failureCode && !outputWasWritten())
        return command->failureCode;
    return code;
}

} // namespace faciward::shell

int main(int argc, char **argv)
{
    faciward::shell::occupyStandardDescriptors();
    // A reader that went away is a write that fails, reported as such, rather
    // than a silent death by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    // Under a file-size limit a write past it would kill the program without a
    // word; ignored, the write fails with "File too large" and is reported.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return faciward::shell::runMain(argc, argv);
    } catch (const std::exception &e) {
        faciward::shell::complain(e.what());
    } catch (...) {
        faciward::shell::complain("unexpected failure");
    }
    return faciward::shell::exitFailure;
}
