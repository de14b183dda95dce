#include "PrivateSessionBus.h"

#include <stdexcept>

namespace faciward::testing {

PrivateSessionBus::PrivateSessionBus()
    : m_daemon(std::make_unique<ChildProcess>(
          std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"}))
{
    auto address = m_daemon->readLine(std::chrono::seconds(20));
    if (!address || address->empty())
        throw std::runtime_error("dbus-daemon did not report its address");
    m_address = *address;
}

int PrivateSessionBus::sendSignal(const std::string &path, const std::string &member,
                                  const std::vector<std::string> &arguments) const
{
    std::vector<std::string> argv{"dbus-send", "--bus=" + m_address, "--type=signal", path, member};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return ChildProcess::run(argv);
}

} // namespace faciward::testing
