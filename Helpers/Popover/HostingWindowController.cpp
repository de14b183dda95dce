#include "HostingWindowController.h"

#include "Helpers/Core/MainQueue.h"
#include "Helpers/Core/UserInteractionPausableWindow.h"
#include "Helpers/Core/WindowFades.h"

#include <QCloseEvent>
#include <QPointer>
#include <QToolBar>
#include <QUuid>
#include <QVBoxLayout>

namespace faciward::helpers {

namespace {

constexpr WindowStyleMask kDefaultStyle = WindowStyle::Titled | WindowStyle::Closable;

} // namespace

CustomToolbarItem::CustomToolbarItem(QString identifier, QString label, QString toolTip, QIcon image,
                                     std::function<void()> execute)
    : m_identifier(std::move(identifier))
    , m_label(std::move(label))
    , m_toolTip(std::move(toolTip))
    , m_image(std::move(image))
    , m_execute(std::move(execute))
{
}

QAction *CustomToolbarItem::toolbarItem()
{
    if (!m_action) {
        m_action = std::make_unique<QAction>(m_image, m_label);
        m_action->setObjectName(m_identifier);
        m_action->setToolTip(m_toolTip);
        QObject::connect(m_action.get(), &QAction::triggered, m_action.get(), [this] { m_execute(); });
    }
    return m_action.get();
}

HostingWindowController::HostingWindowController(QWidget *window, QWidget *content,
                                                 std::vector<std::shared_ptr<ToolbarItem>> toolbarItems)
    : WindowController(window ? window
                              : new UserInteractionPausableWindow(nullptr, toQtWindowFlags(kDefaultStyle, {}, false)))
    , m_toolbarItems(std::move(toolbarItems))
{
    QWidget *host = this->window();
    if (window) {
        // A given window keeps its style; what it showed before goes.
        delete host->layout();
        for (QWidget *child : host->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!child->isWindow())
                delete child;
    } else {
        m_mask = kDefaultStyle;
    }
    auto *layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_titleStrip = new TitleStrip(host);
    m_titleStrip->hide();
    layout->addWidget(m_titleStrip);
    QObject::connect(m_titleStrip, &TitleStrip::buttonClicked, this, [this](WindowButton button) {
        QWidget *shown = this->window();
        if (button == WindowButton::Close)
            quit();
        else if (button == WindowButton::Miniaturize)
            shown->showMinimized();
        else
            shown->isMaximized() ? shown->showNormal() : shown->showMaximized();
    });
    if (!m_toolbarItems.empty()) {
        m_toolbar = new QToolBar(host);
        m_toolbar->setObjectName(QUuid::createUuid().toString(QUuid::WithoutBraces));
        for (const auto &item : m_toolbarItems) {
            if (QAction *action = item->toolbarItem()) {
                m_toolbar->addAction(action);
            } else {
                auto *space = new QWidget(m_toolbar);
                space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
                m_toolbar->addWidget(space);
            }
        }
        layout->addWidget(m_toolbar);
    }
    layout->addWidget(content);
    m_title = host->windowTitle();
    host->installEventFilter(this);
    applyChrome();
}

HostingWindowController::~HostingWindowController() = default;

QAction *HostingWindowController::toolbarItem(const QString &identifier) const
{
    for (const auto &item : m_toolbarItems)
        if (item->identifier() == identifier)
            return item->toolbarItem();
    return nullptr;
}

TitleStrip *HostingWindowController::titleStrip() const
{
    return m_ownTitleBar ? m_titleStrip : nullptr;
}

bool HostingWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window() && event->type() == QEvent::Close && !isClosingUnconditionally(*window())) {
        // The window is never closed from outside: it is hidden, ready to come back.
        event->ignore();
        quit();
        return true;
    }
    return WindowController::eventFilter(watched, event);
}

void HostingWindowController::quit()
{
    auto delegate = m_delegate.lock();
    if (!delegate) {
        hideWindowFadingOut();
        return;
    }
    postToMain([self = QPointer<HostingWindowController>(this), delegate] {
        bool close = true;
        try {
            close = delegate->shouldClose();
        } catch (...) {
            // A failed question never keeps the window open.
        }
        if (close && self)
            self->hideWindowFadingOut();
    });
}

void HostingWindowController::hideWindowFadingOut(std::shared_ptr<void> keepAlive)
{
    QWidget *shown = window();
    if (!shown || !shown->isVisible())
        return;
    if (keepAlive)
        m_keptAlive.push_back(std::move(keepAlive));
    if (m_fadingOut)
        return;
    m_fadingOut = true;
    fadeOut(*shown, kFadeDuration, TimingFunction::Default, 0.0, CloseFunction::OrderOut, true,
            [self = QPointer<HostingWindowController>(this)] {
                if (!self)
                    return;
                self->m_fadingOut = false;
                // Last: this may release the controller itself.
                auto released = std::move(self->m_keptAlive);
            });
}

void HostingWindowController::setTitleVisibility(TitleVisibility visibility)
{
    m_titleVisibility = visibility;
    applyChrome();
}

void HostingWindowController::setTitlebarAppearsTransparent(bool transparent)
{
    m_ownTitleBar = transparent;
    applyChrome();
}

void HostingWindowController::hideButton(WindowButton button)
{
    m_hiddenButtons.insert(button);
    applyChrome();
}

void HostingWindowController::setStyleMask(WindowStyleMask mask)
{
    m_mask = mask;
    applyChrome();
}

void HostingWindowController::setFloating(bool floating)
{
    m_floating = floating;
    applyChrome();
}

// Window flags must be set before the first show: setting them on a shown
// window hides it.
void HostingWindowController::applyChrome()
{
    QWidget *host = window();
    if (!host)
        return;
    Qt::WindowFlags flags = host->windowFlags();
    if (m_mask)
        flags = toQtWindowFlags(*m_mask, m_hiddenButtons, m_ownTitleBar);
    else
        flags.setFlag(Qt::FramelessWindowHint, m_ownTitleBar || flags.testFlag(Qt::FramelessWindowHint));
    flags.setFlag(Qt::WindowStaysOnTopHint, m_floating);
    if (flags != host->windowFlags())
        host->setWindowFlags(flags);

    const bool titleShown = m_titleVisibility == TitleVisibility::Visible;
    host->setWindowTitle(titleShown ? m_title : QString());
    m_titleStrip->setVisible(m_ownTitleBar);
    m_titleStrip->setTitle(m_title);
    m_titleStrip->setTitleShown(titleShown);
    m_titleStrip->setButtons(shownButtons(m_mask.value_or(kDefaultStyle), m_hiddenButtons));
    host->layout()->setSizeConstraint(m_mask && isResizable(*m_mask) ? QLayout::SetDefaultConstraint
                                                                      : QLayout::SetFixedSize);
}

} // namespace faciward::helpers
