// faciward: the headless runner. `faciward COMMAND ARGUMENTS…`
//
// To add a command: write NameCommand.cpp defining `Command nameCommand()`,
// declare it in Command.h, add the file to CMakeLists.txt and the call to the
// list below. The list's order is the order of the usage lines.

#include "Faciward/Shell/Command.h"

#include <opencv2/core/utils/logger.hpp>

#include <cstdio>
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
    std::fprintf(stderr, "faciward: %s\n", message.c_str());
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
    // OpenCV's own informational lines would mix with the runner's output.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);

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
    try {
        return faciward::shell::runMain(argc, argv);
    } catch (const std::exception &e) {
        faciward::shell::complain(e.what());
    } catch (...) {
        faciward::shell::complain("unexpected failure");
    }
    return faciward::shell::exitFailure;
}
