#pragma once

#include <QFlags>
#include <QIcon>
#include <QKeySequence>
#include <QString>

#include <functional>
#include <optional>

class QAction;
class QObject;

namespace faciward::helpers {

/// @brief The modifier keys of a key equivalent, as the menu's callers name them.
enum class ModifierFlag {
    Shift = 1 << 17,
    Control = 1 << 18,
    Option = 1 << 19,
    Command = 1 << 20,
};
Q_DECLARE_FLAGS(ModifierFlags, ModifierFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(ModifierFlags)

/// @brief The shortcut of a key equivalent: one character, or one of the
/// platform's function-key or control characters (arrows, F1-F35, insert,
/// forward delete, help, enter, back tab...), with its modifiers. Without a
/// mask the key takes Command; an upper-case letter adds Shift. Command is
/// Ctrl here, Control is Meta, Option is Alt. No key, an empty key, a longer
/// text or a function key Qt has no key for gives no shortcut (the last two
/// with an error line on standard error).
QKeySequence keySequence(const std::optional<QString> &keyEquivalent, std::optional<ModifierFlags> modifierMask);

/// @brief Builds menu items whose action is a closure.
class MenuItemFactory
{
public:
    /// @brief A menu item showing @p title literally ("&" and tabs are text,
    /// not mnemonics or a shortcut column), with @p image (none when null), a
    /// check mark only when @p state (still there after it was chosen), the shortcut of @p keyEquivalent and
    /// @p modifierMask, and @p action run each time it triggers. The item is
    /// added to no menu; @p parent (or the caller) owns it, and its closure
    /// lives exactly as long as it does.
    QAction *makeItem(const QString &title, const QIcon &image, bool state,
                      const std::optional<QString> &keyEquivalent, std::optional<ModifierFlags> modifierMask,
                      std::function<void()> action, QObject *parent = nullptr) const;
};

} // namespace faciward::helpers
