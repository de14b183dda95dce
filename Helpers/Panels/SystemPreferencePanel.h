#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace faciward::helpers {

/// @brief Opens the desktop's own settings pages for notifications and for
/// security and privacy.
///
/// Linux has no system-wide settings address: each desktop ships its own
/// settings program. Where the desktop is known (GNOME, KDE) the page is opened
/// through that program, without waiting for it; elsewhere nothing happens.
/// There is no screen-recording permission to register on X11, so nothing is
/// captured beforehand.
class SystemPreferencePanel
{
public:
    struct Command
    {
        QString program;
        QStringList arguments;
        friend bool operator==(const Command &, const Command &) = default;
    };
    enum class Page { notifications, securityPrivacy };
    /// @brief Starts a program detached; returns whether it started.
    using Launcher = std::function<bool(const Command &)>;

    /// @brief The desktop from XDG_CURRENT_DESKTOP, programs started with QProcess.
    SystemPreferencePanel();
    SystemPreferencePanel(QString currentDesktop, Launcher launcher);

    /// @brief The command that opens @p page on @p currentDesktop (a
    /// colon-separated XDG_CURRENT_DESKTOP value), if the desktop is known.
    static std::optional<Command> commandFor(Page page, const QString &currentDesktop);

    bool openNotifications() const { return open(Page::notifications); }
    bool openSecurityPrivacy() const { return open(Page::securityPrivacy); }

private:
    bool open(Page page) const;

    QString m_currentDesktop;
    Launcher m_launcher;
};

} // namespace faciward::helpers
