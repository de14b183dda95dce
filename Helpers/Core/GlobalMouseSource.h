#pragma once

#include <Qt>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace faciward::helpers {

/// @brief Mouse presses anywhere on the desktop outside the application's own
/// windows: on the desktop, in other applications, on other tray icons.
///
/// Monitors are registered with a button mask and removed by their token. A
/// back-end watches the system only while at least one monitor is registered.
/// Everything runs on the main thread.
class GlobalMouseSource
{
public:
    using Token = std::uint64_t;
    using Handler = std::function<void(Qt::MouseButton)>;

    virtual ~GlobalMouseSource() = default;

    /// @brief A short name for diagnostics, such as "XInput2 raw button presses on :1".
    virtual std::string name() const = 0;

    /// @brief Registers @p handler for presses of the buttons in @p mask; the
    /// token removes it again.
    Token addMonitor(Qt::MouseButtons mask, Handler handler);
    /// @brief Removes a monitor; an unknown token is ignored.
    void removeMonitor(Token token);
    /// @brief How many monitors are registered now.
    std::size_t monitorCount() const { return m_monitors.size(); }

protected:
    /// @brief Called when the first monitor arrives (true) and the last one goes (false).
    virtual void watch(bool on) = 0;
    /// @brief Hands a press of @p button to every monitor whose mask has it.
    void dispatch(Qt::MouseButton button);

private:
    struct Monitor {
        Qt::MouseButtons mask;
        Handler handler;
    };
    std::map<Token, Monitor> m_monitors;
    Token m_next = 1;
};

} // namespace faciward::helpers
