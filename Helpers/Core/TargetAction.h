#pragma once

#include <QObject>

#include <functional>

class QAction;

namespace faciward::helpers {

/// @brief The target of a menu item: runs a closure when its action triggers.
///
/// A child of its action, so the closure and what it captured live exactly as
/// long as the item does: menus rebuilt again and again leave nothing behind.
class TargetAction : public QObject
{
    Q_OBJECT

public:
    TargetAction(QAction &action, std::function<void()> execute);

    /// @brief Runs the closure. The closure survives the call even when it
    /// deletes its own item (a menu rebuilt from one of its items).
    void target();

private:
    std::function<void()> m_execute;
};

} // namespace faciward::helpers
