#include "PrivateXServer.h"

#include <stdexcept>

namespace faciward::testing {

PrivateXServer::PrivateXServer()
    // -displayfd picks a free display number and writes it once the server is ready.
    : m_server(std::make_unique<ChildProcess>(std::vector<std::string>{
          "Xvfb", "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp"}))
{
    auto number = m_server->readLine(std::chrono::seconds(20));
    if (!number || number->empty())
        throw std::runtime_error("Xvfb did not report its display");
    m_display = ":" + *number;
}

int PrivateXServer::xdotool(const std::vector<std::string> &arguments) const
{
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return ChildProcess::run(argv, {"DISPLAY=" + m_display});
}

std::unique_ptr<ChildProcess> PrivateXServer::startClient(const std::vector<std::string> &argv) const
{
    return std::make_unique<ChildProcess>(argv, std::vector<std::string>{"DISPLAY=" + m_display});
}

} // namespace faciward::testing
