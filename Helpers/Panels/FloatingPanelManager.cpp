#include "FloatingPanelManager.h"

#include "Helpers/Core/Screen.h"

#include "Helpers/Panels/FloatingPanel.h"
#include "Helpers/Panels/FloatingPanelView.h"


namespace faciward::helpers {

namespace {
// The lower left corner of the first card: inside the screen's available
// area, 20 in from its left edge and 80 up from its bottom edge.
constexpr int originInset = 20;
constexpr int originLift = 80;
const QPoint noScreenOrigin(60, 100);

QString keyOf(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded);
}
} // namespace

void FloatingPanelManager::Deleter::operator()(FloatingPanel *panel) const
{
    panel->hide();
    panel->deleteLater();
}

std::shared_ptr<FloatingPanelManager> FloatingPanelManager::create(DidRemoveAllPanels didRemoveAllPanels)
{
    return std::shared_ptr<FloatingPanelManager>(new FloatingPanelManager(std::move(didRemoveAllPanels)));
}

FloatingPanelManager::~FloatingPanelManager() = default;

void FloatingPanelManager::showPanels(ClippedImage::Intent intent, const QUrl &url,
                                      std::optional<ClippedImage::Intent> secondIntent, std::optional<QUrl> secondURL)
{
    // The primary screen: the first that Qt lists.
    QPoint origin = noScreenOrigin;
    if (const std::optional<QRect> available = Screen::availableArea(Screen::screenFor()))
        origin = QPoint(available->left() + originInset, available->bottom() + 1 - originLift);
    showPanel(std::move(intent), url, origin);
    if (secondIntent && secondURL)
        showPanel(std::move(*secondIntent), *secondURL,
                  origin - QPoint(0, defaultCardSize.height() + spacing));
}

void FloatingPanelManager::showPanel(ClippedImage::Intent intent, const QUrl &url, QPoint lowerLeft)
{
    // The same picture again replaces its panel; the old one must go first,
    // or it would stay on screen untracked.
    m_panels.erase(keyOf(url));
    std::weak_ptr<FloatingPanelManager> weakSelf = weak_from_this();
    auto *card = new FloatingPanelView(FloatingPanelViewModel{std::move(intent), defaultCardSize, url}, cornerRadius,
                                       [weakSelf, url] {
                                           if (auto self = weakSelf.lock())
                                               self->removePanel(url);
                                       });
    std::unique_ptr<FloatingPanel, Deleter> panel(new FloatingPanel(card, cornerRadius));
    panel->moveContentTo(QPoint(lowerLeft.x(), lowerLeft.y() - card->height()));
    panel->show();
    m_panels[keyOf(url)] = std::move(panel);
}

void FloatingPanelManager::removePanel(const QUrl &key)
{
    m_panels.erase(keyOf(key));
    if (!m_panels.empty())
        return;
    if (m_didRemoveAllPanels)
        m_didRemoveAllPanels(*this);
}

FloatingPanel *FloatingPanelManager::panel(const QUrl &key) const
{
    const auto found = m_panels.find(keyOf(key));
    return found == m_panels.end() ? nullptr : found->second.get();
}

} // namespace faciward::helpers
