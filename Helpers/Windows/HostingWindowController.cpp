#include "HostingWindowController.h"

#include "Helpers/Core/UserInteractionPausableWindow.h"
#include "Helpers/Core/WindowFades.h"

#include <QAbstractAnimation>
#include <QCloseEvent>
#include <QMainWindow>
#include <QPointer>
#include <QSizeGrip>
#include <QToolBar>
#include <QUuid>
#include <QVBoxLayout>

namespace faciward::helpers {

namespace {

constexpr WindowStyleMask kDefaultStyle = WindowStyle::Titled | WindowStyle::Closable;

} // namespace

HostingWindowController::HostingWindowController(QWidget *window, QWidget *content,
                                                 std::vector<std::shared_ptr<ToolbarItem>> toolbarItems,
                                                 ShouldClose shouldClose)
    : WindowController(window ? window
                              : new UserInteractionPausableWindow(nullptr, toQtWindowFlags(kDefaultStyle, {}, false)),
                       window ? WindowOwnership::Caller : WindowOwnership::Controller)
    , m_toolbarItems(std::move(toolbarItems))
    , m_shouldClose(std::move(shouldClose))
{
    QWidget *host = this->window();
    if (window) {
        m_madeStyle = styleMaskOf(host->windowFlags());
    } else {
        m_madeStyle = kDefaultStyle;
        m_mask = kDefaultStyle;
    }
    m_container = makeContainer(*host, window != nullptr);
    auto *layout = new QVBoxLayout(m_container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_titleStrip = new TitleStrip(m_container);
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
        m_toolbar = new QToolBar(m_container);
        m_toolbar->setObjectName(QUuid::createUuid().toString(QUuid::WithoutBraces));
        for (const auto &item : m_toolbarItems) {
            // An identifier stands for the first item that has it. Qt shows an
            // action once per toolbar, so a repeated one keeps its first place.
            if (QAction *action = toolbarItem(item->identifier())) {
                if (!m_toolbar->actions().contains(action))
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

QWidget *HostingWindowController::makeContainer(QWidget &host, bool given)
{
    if (auto *mainWindow = qobject_cast<QMainWindow *>(&host)) {
        // A main window's own layout carries its bars and docks and must stay:
        // the content is its central widget, which replaces the former one.
        auto *container = new QWidget;
        mainWindow->setCentralWidget(container);
        return container;
    }
    if (given) {
        // What a plain window showed before goes.
        delete host.layout();
        for (QWidget *child : host.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!child->isWindow())
                delete child;
    }
    return &host;
}

QAction *HostingWindowController::toolbarItem(const QString &identifier) const
{
    for (const auto &item : m_toolbarItems)
        if (item->identifier() == identifier)
            return item->toolbarItem();
    return nullptr;
}

TitleStrip *HostingWindowController::titleStrip() const
{
    return m_titleStrip && !m_titleStrip->isHidden() ? m_titleStrip.data() : nullptr;
}

QToolBar *HostingWindowController::toolbar() const
{
    return m_toolbar.data();
}

QSizeGrip *HostingWindowController::sizeGrip() const
{
    return m_sizeGrip && !m_sizeGrip->isHidden() ? m_sizeGrip.data() : nullptr;
}

bool HostingWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window() && event->type() == QEvent::Close && !isClosingUnconditionally(*window())) {
        // The window is never closed from outside: it is hidden, ready to come back.
        event->ignore();
        quit();
        return true;
    }
    if (watched == m_container.data() && event->type() == QEvent::Resize)
        placeSizeGrip();
    return WindowController::eventFilter(watched, event);
}

void HostingWindowController::quit()
{
    if (!m_shouldClose) {
        hideWindowFadingOut();
        return;
    }
    mainQueue().post([self = QPointer<HostingWindowController>(this), shouldClose = m_shouldClose] {
        bool close = true;
        try {
            close = shouldClose();
        } catch (...) {
            // A failed question never keeps the window open.
        }
        if (close && self)
            self->hideWindowFadingOut();
    });
}

bool HostingWindowController::isFadingOut()
{
    QWidget *shown = window();
    return m_fadeOut && shown && runningFade(*shown) == m_fadeOut;
}

void HostingWindowController::hideWindowFadingOut(std::shared_ptr<void> keepAlive)
{
    QWidget *shown = window();
    if (!shown || !shown->isVisible())
        return;
    if (keepAlive)
        m_keptAlive.push_back(std::move(keepAlive));
    if (isFadingOut())
        return;
    fadeOutAndHide(*shown);
    m_fadeOut = runningFade(*shown);
    if (!m_fadeOut)
        return;
    // The fade is over when it is deleted, whichever way it went: ended,
    // replaced by another fade of the window (a fade-in, a delayed close), or
    // gone with the window. Only then is the state it held settled; its
    // completion alone would never come for a replaced fade.
    QObject::connect(m_fadeOut, &QObject::destroyed, this, [this] {
        // On a later turn: the window may be in the middle of its deletion now.
        mainQueue().post([self = QPointer<HostingWindowController>(this)] {
            if (!self || self->isFadingOut())
                return;
            std::vector<std::shared_ptr<void>> released;
            released.swap(self->m_keptAlive); // last: this may release the controller itself
        });
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

// Only what was configured changes: a given window keeps the rest of its style.
void HostingWindowController::applyChrome()
{
    QWidget *host = window();
    if (!host || !m_container || !m_titleStrip)
        return;
    const Qt::WindowFlags before = host->windowFlags();
    const WindowStyleMask style = m_mask.value_or(m_madeStyle);
    const bool ownTitleBar = m_ownTitleBar.value_or(false);
    Qt::WindowFlags flags = before;
    if (m_mask) {
        // The mask decides the frame and the buttons, not the kind of window
        // nor whether it floats.
        flags = (toQtWindowFlags(*m_mask, m_hiddenButtons, ownTitleBar) & ~Qt::WindowType_Mask) |
                (before & Qt::WindowType_Mask);
        flags.setFlag(Qt::WindowStaysOnTopHint, before.testFlag(Qt::WindowStaysOnTopHint));
    } else {
        if (ownTitleBar)
            flags |= Qt::FramelessWindowHint;
        if (!m_hiddenButtons.empty() && !flags.testFlag(Qt::CustomizeWindowHint))
            // Customised, a window shows only the hints it has: first the usual ones.
            flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                     Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint;
        for (WindowButton button : m_hiddenButtons)
            flags.setFlag(buttonHint(button), false);
    }
    if (m_floating)
        flags.setFlag(Qt::WindowStaysOnTopHint, *m_floating);
    if (flags != before) {
        // New flags hide a shown window: it comes back as it was.
        const bool shown = host->isVisible();
        host->setWindowFlags(flags);
        if (shown)
            host->show();
    }

    const bool titleShown = m_titleVisibility.value_or(TitleVisibility::Visible) == TitleVisibility::Visible;
    if (m_titleVisibility)
        host->setWindowTitle(titleShown ? m_title : QString());
    // A borderless style has no title bar, transparent or not.
    m_titleStrip->setVisible(ownTitleBar && style.testFlag(WindowStyle::Titled));
    m_titleStrip->setTitle(m_title);
    m_titleStrip->setTitleShown(titleShown);
    m_titleStrip->setButtons(shownButtons(style, m_hiddenButtons));

    if (!m_mask)
        return;
    const bool resizable = isResizable(*m_mask);
    host->layout()->setSizeConstraint(resizable ? QLayout::SetDefaultConstraint : QLayout::SetFixedSize);
    if (resizable)
        host->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); // undo an earlier fixed size
    // Without the window manager's frame, nothing else would let the user resize it.
    const bool grip = resizable && flags.testFlag(Qt::FramelessWindowHint);
    if (grip && !m_sizeGrip) {
        m_sizeGrip = new QSizeGrip(m_container);
        m_container->installEventFilter(this);
    }
    if (m_sizeGrip) {
        m_sizeGrip->setVisible(grip);
        placeSizeGrip();
    }
}

void HostingWindowController::placeSizeGrip()
{
    if (!m_sizeGrip || !m_container)
        return;
    m_sizeGrip->resize(m_sizeGrip->sizeHint());
    m_sizeGrip->move(m_container->width() - m_sizeGrip->width(), m_container->height() - m_sizeGrip->height());
    m_sizeGrip->raise();
}

} // namespace faciward::helpers
