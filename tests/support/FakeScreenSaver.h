#pragma once

#include <memory>
#include <string>

namespace faciward::testing {

/// @brief A screen saver on a test bus: owns the well-known name of one
/// interface ("org.gnome.ScreenSaver", "org.freedesktop.ScreenSaver") and
/// answers `GetActive` at its usual object path with the state it was given.
///
/// It answers from a thread of its own, so a blocking question from the test's
/// thread, or from another process, gets its answer. Needs a QCoreApplication.
class FakeScreenSaver
{
public:
    /// @throws std::runtime_error when it cannot take its name on the bus.
    FakeScreenSaver(const std::string &busAddress, const std::string &interface, bool active);
    ~FakeScreenSaver();
    FakeScreenSaver(const FakeScreenSaver &) = delete;
    FakeScreenSaver &operator=(const FakeScreenSaver &) = delete;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace faciward::testing
