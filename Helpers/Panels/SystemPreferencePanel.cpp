#include "SystemPreferencePanel.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace faciward::helpers {

SystemPreferencePanel::SystemPreferencePanel()
    : SystemPreferencePanel(QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_CURRENT_DESKTOP")),
                            [](const Command &command) {
                                return QProcess::startDetached(command.program, command.arguments);
                            })
{
}

SystemPreferencePanel::SystemPreferencePanel(QString currentDesktop, Launcher launcher)
    : m_currentDesktop(std::move(currentDesktop))
    , m_launcher(std::move(launcher))
{
}

std::optional<SystemPreferencePanel::Command> SystemPreferencePanel::commandFor(Page page,
                                                                                const QString &currentDesktop)
{
    const bool notifications = page == Page::notifications;
    // The value lists the desktop's names, most specific first ("ubuntu:GNOME").
    for (const QString &name : currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString desktop = name.trimmed().toUpper();
        if (desktop == QLatin1String("GNOME") || desktop == QLatin1String("UNITY") ||
            desktop == QLatin1String("GNOME-CLASSIC") || desktop == QLatin1String("GNOME-FLASHBACK"))
            return Command{QStringLiteral("gnome-control-center"),
                           {notifications ? QStringLiteral("notifications") : QStringLiteral("privacy")}};
        if (desktop == QLatin1String("KDE"))
            return Command{QStringLiteral("systemsettings"),
                           {notifications ? QStringLiteral("kcm_notifications")
                                          : QStringLiteral("kcm_app-permissions")}};
    }
    return std::nullopt;
}

bool SystemPreferencePanel::open(Page page) const
{
    const auto command = commandFor(page, m_currentDesktop);
    return command && m_launcher && m_launcher(*command);
}

} // namespace faciward::helpers
