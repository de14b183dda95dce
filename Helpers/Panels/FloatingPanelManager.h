#pragma once

#include "Helpers/Panels/FloatingPanelViewModel.h"

#include <QPoint>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace faciward::helpers {

class FloatingPanel;
class FloatingPanelManager;
class FloatingPanelView;

/// @brief Opens one or two floating picture panels stacked at the lower left
/// of the screen, keeps them by their picture's address, removes them when
/// their card asks, and tells its owner (the `didRemoveAllPanels` function it
/// was made with) whenever none is left after a removal.
///
/// Its operations may be overridden: showPanels() opens each panel through
/// showPanel(), and a card's request goes through removePanel(). A subclass
/// is made with std::make_shared, as create() does.
class FloatingPanelManager : public std::enable_shared_from_this<FloatingPanelManager>
{
public:
    static constexpr QSize defaultCardSize{200, 200};
    static constexpr int cornerRadius = 22;
    static constexpr int spacing = 22;

    /// @brief Called with the manager whenever a removal leaves no panel, even
    /// a removal of an absent key from an empty manager.
    using DidRemoveAllPanels = std::function<void(FloatingPanelManager &)>;

    static std::shared_ptr<FloatingPanelManager> create(DidRemoveAllPanels didRemoveAllPanels = {});
    virtual ~FloatingPanelManager();
    FloatingPanelManager(const FloatingPanelManager &) = delete;
    FloatingPanelManager &operator=(const FloatingPanelManager &) = delete;

    /// @brief The first picture at the lower left; the second one card and
    /// spacing above it, when both its intent and its address are given.
    virtual void showPanels(ClippedImage::Intent intent, const QUrl &url,
                            std::optional<ClippedImage::Intent> secondIntent = std::nullopt,
                            std::optional<QUrl> secondURL = std::nullopt);
    /// @brief One panel with its lower left corner at @p lowerLeft (screen
    /// coordinates, y growing downwards). A panel already shown for @p url is
    /// removed first.
    virtual void showPanel(ClippedImage::Intent intent, const QUrl &url, QPoint lowerLeft);
    virtual void removePanel(const QUrl &key);

    /// @brief The panel shown for @p key, if any.
    FloatingPanel *panel(const QUrl &key) const;
    std::size_t panelCount() const { return m_panels.size(); }

protected:
    explicit FloatingPanelManager(DidRemoveAllPanels didRemoveAllPanels = {})
        : m_didRemoveAllPanels(std::move(didRemoveAllPanels))
    {
    }

private:
    struct Deleter
    {
        void operator()(FloatingPanel *panel) const;
    };
    DidRemoveAllPanels m_didRemoveAllPanels;
    std::map<QString, std::unique_ptr<FloatingPanel, Deleter>> m_panels;
};

} // namespace faciward::helpers
