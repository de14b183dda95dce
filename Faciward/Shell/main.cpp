// faciward: the headless runner. `faciward COMMAND ARGUMENTS…`
//
// To add a command: write NameCommand.cpp defining `Command nameCommand()`,
// declare it in Command.h, add the file to CMakeLists.txt and the call to the
// list below. The list's order is the order of the usage lines.

#include "Faciward/Shell/Command.h"
#include "Platform/Runtime/Diagnostics.h"

#include <opencv2/core/utils/logger.hpp>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace faciward::shell {

namespace {

std::vector<Command> allCommands()
{
    return {facesCommand(), enrolCommand(), checkCommand(), runCommand()};
}

void printUsage(const std::vector<Command> &commands)
{
    for (const auto &c : commands)
        std::fprintf(stderr, "usage: faciward %.*s %.*s\n", int(c.name.size()), c.name.data(), int(c.arguments.size()),
                     c.arguments.data());
}

} // namespace

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
    const std::string name = argv[1];
    for (const auto &command : commands) {
        if (command.name != name)
            continue;
        const std::vector<std::string> arguments(argv + 2, argv + argc);
        const int code = command.run(arguments);
        if (code == exitUsage)
            printUsage({command});
        return code;
    }
    complain("unknown command \"" + name + "\"");
    printUsage(commands);
    return exitUsage;
}

} // namespace faciward::shell

int main(int argc, char **argv)
{
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
