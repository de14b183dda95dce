#pragma once

#include "TitleStrip.h"
#include "ToolbarItem.h"
#include "WindowConfiguration.h"

#include "Helpers/Core/WindowController.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QAbstractAnimation;
class QSizeGrip;
class QToolBar;

namespace faciward::helpers {

/// @brief The controller of a window hosting one content widget.
///
/// It makes the window when none is given (titled and closable, sized to its
/// content and not resizable), puts the content in it and routes the close
/// button, Alt+F4 and the window manager's close to quit(). quit() asks its
/// owner (the `shouldClose` function it was made with) and then fades the window out: it is hidden with its opacity
/// restored, never closed, so it can be shown again. The chrome setters apply
/// a WindowConfiguration; call them before the window is first shown.
///
/// The title strip, the toolbar and the content sit in one container: the
/// window itself for a plain window, the central widget for a QMainWindow,
/// whose own layout must stay. A given window stays its caller's, and keeps
/// its own style (flags, size, visibility) until a chrome setter changes it.
class HostingWindowController : public WindowController
{
    Q_OBJECT

public:
    /// @brief Asked whether the window may close when its close button is
    /// pressed. An exception counts as yes: it never keeps the window open.
    using ShouldClose = std::function<bool()>;

    /// @brief A given @p window keeps its style and stays its caller's; its
    /// former content goes. Without @p shouldClose the window always closes.
    HostingWindowController(QWidget *window, QWidget *content,
                            std::vector<std::shared_ptr<ToolbarItem>> toolbarItems = {},
                            ShouldClose shouldClose = {});
    ~HostingWindowController() override;

    /// @brief The close button's action: without a `shouldClose`, fades the
    /// window out; with one, asks it on a later turn and fades out unless it
    /// says no.
    void quit();

    /// @brief Fades the window out and hides it with its opacity restored. A
    /// window already fading out or hidden is left alone, so that the close
    /// button and the flow's end never run two fades. @p keepAlive (usually
    /// the owner's reference to this controller) lives until that fade-out is
    /// over, whether it ended or another fade of the window replaced it, so
    /// that the window fades out even when its owner lets go.
    void hideWindowFadingOut(std::shared_ptr<void> keepAlive = nullptr);

    void setTitleVisibility(TitleVisibility visibility);
    void setTitlebarAppearsTransparent(bool transparent);
    void setTitlebarSeparatorStyle(TitlebarSeparatorStyle style) { m_separator = style; }
    void hideButton(WindowButton button);
    void setStyleMask(WindowStyleMask mask);
    void setFloating(bool floating);

    /// @brief The style mask; nullopt for a given window whose style was never set.
    std::optional<WindowStyleMask> styleMask() const { return m_mask; }
    /// @brief The own title strip of a transparent title bar, or null.
    TitleStrip *titleStrip() const;
    /// @brief The grip by which the user resizes a window that has no frame of
    /// the window manager's but a resizable style; null otherwise.
    QSizeGrip *sizeGrip() const;

    const std::vector<std::shared_ptr<ToolbarItem>> &toolbarItems() const { return m_toolbarItems; }
    /// @brief The toolbar, made only for a non-empty item list.
    QToolBar *toolbar() const;
    /// @brief The entry of the first item whose identifier is @p identifier.
    QAction *toolbarItem(const QString &identifier) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static QWidget *makeContainer(QWidget &host, bool given);
    bool isFadingOut();
    void applyChrome();
    void placeSizeGrip();

    std::vector<std::shared_ptr<ToolbarItem>> m_toolbarItems;
    ShouldClose m_shouldClose;
    // Guarded: a later controller of the same given window replaces them.
    QPointer<QToolBar> m_toolbar;
    QPointer<TitleStrip> m_titleStrip;
    QPointer<QSizeGrip> m_sizeGrip;
    QPointer<QWidget> m_container;
    // What a given window had before any setter; a made window's own style.
    WindowStyleMask m_madeStyle;
    // Unset: never configured, so the window keeps what it has.
    std::optional<WindowStyleMask> m_mask;
    std::optional<bool> m_ownTitleBar;
    std::optional<bool> m_floating;
    std::optional<TitleVisibility> m_titleVisibility;
    std::set<WindowButton> m_hiddenButtons;
    QPointer<QAbstractAnimation> m_fadeOut;
    std::vector<std::shared_ptr<void>> m_keptAlive;
    QString m_title;
    TitlebarSeparatorStyle m_separator = TitlebarSeparatorStyle::Automatic;
};

} // namespace faciward::helpers
