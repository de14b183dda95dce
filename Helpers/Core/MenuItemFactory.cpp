#include "MenuItemFactory.h"

#include "ActionText.h"
#include "TargetAction.h"

#include "Platform/Runtime/Diagnostics.h"

#include <QAction>


namespace faciward::helpers {

namespace {

// The platform's private-use characters for keys that have no character, and
// the control characters that stand for keys; 0 for one Qt has no key for.
int functionKey(char16_t c)
{
    if (c >= 0xF704 && c <= 0xF726)
        return Qt::Key_F1 + (c - 0xF704);
    switch (c) {
    case 0xF700: return Qt::Key_Up;
    case 0xF701: return Qt::Key_Down;
    case 0xF702: return Qt::Key_Left;
    case 0xF703: return Qt::Key_Right;
    case 0xF727: return Qt::Key_Insert;
    case 0xF728: return Qt::Key_Delete;
    case 0xF729: return Qt::Key_Home;
    case 0xF72B: return Qt::Key_End;
    case 0xF72C: return Qt::Key_PageUp;
    case 0xF72D: return Qt::Key_PageDown;
    case 0xF72E: return Qt::Key_Print; // print screen
    case 0xF72F: return Qt::Key_ScrollLock;
    case 0xF730: return Qt::Key_Pause;
    case 0xF731: return Qt::Key_SysReq;
    case 0xF734: return Qt::Key_Stop;
    case 0xF735: return Qt::Key_Menu;
    case 0xF738: return Qt::Key_Printer;
    case 0xF73A: return Qt::Key_Clear; // clear display
    case 0xF741: return Qt::Key_Select;
    case 0xF742: return Qt::Key_Execute;
    case 0xF743: return Qt::Key_Undo;
    case 0xF744: return Qt::Key_Redo;
    case 0xF745: return Qt::Key_Find;
    case 0xF746: return Qt::Key_Help;
    case 0xF747: return Qt::Key_Mode_switch;
    case 0x03: return Qt::Key_Enter;
    case u'\r':
    case u'\n': return Qt::Key_Return;
    case u'\t': return Qt::Key_Tab;
    case 0x19: return Qt::Key_Backtab;
    case 0x1B: return Qt::Key_Escape;
    case 0x08:
    case 0x7F: return Qt::Key_Backspace;
    default: return 0;
    }
}

// Characters that name a key rather than being one: control characters and
// the platform's range of function keys.
bool namesAKey(char16_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0xF700 && c <= 0xF8FF);
}

} // namespace

QKeySequence keySequence(const std::optional<QString> &keyEquivalent, std::optional<ModifierFlags> modifierMask)
{
    if (!keyEquivalent || keyEquivalent->isEmpty())
        return {};
    if (keyEquivalent->size() != 1) {
        // print() escapes the caller's text: a line feed in it must not split the line.
        platform::Diagnostics::print("Menu key equivalent \"" + keyEquivalent->toStdString() +
                                     "\" is not one key; the item gets no shortcut");
        return {};
    }
    const QChar c = keyEquivalent->front();
    const ModifierFlags mask = modifierMask.value_or(ModifierFlag::Command);
    int key = functionKey(c.unicode());
    Qt::KeyboardModifiers modifiers;
    if (!key && namesAKey(c.unicode())) {
        const QString code = QString::number(unsigned(c.unicode()), 16).rightJustified(4, u'0').toUpper();
        platform::Diagnostics::print("Menu key equivalent U+" + code.toStdString() +
                                     " is a key that Qt does not know; the item gets no shortcut");
        return {};
    }
    if (!key) {
        // Qt names printable keys by their upper-case character.
        key = c.toUpper().unicode();
        if (c.isUpper())
            modifiers |= Qt::ShiftModifier;
    }
    if (mask & ModifierFlag::Shift)
        modifiers |= Qt::ShiftModifier;
    if (mask & ModifierFlag::Command)
        modifiers |= Qt::ControlModifier;
    if (mask & ModifierFlag::Control)
        modifiers |= Qt::MetaModifier;
    if (mask & ModifierFlag::Option)
        modifiers |= Qt::AltModifier;
    return QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(key)));
}

QAction *MenuItemFactory::makeItem(const QString &title, const QIcon &image, bool state,
                                   const std::optional<QString> &keyEquivalent,
                                   std::optional<ModifierFlags> modifierMask, std::function<void()> action,
                                   QObject *parent) const
{
    auto *item = new QAction(parent);
    // A checkable item draws an empty box when unchecked; only a true state is checkable.
    item->setCheckable(state);
    item->setChecked(state);
    // Qt turns a checkable action over at each trigger; the item keeps the
    // state it was made with, as the menu rebuilt from the truth would show.
    if (state)
        QObject::connect(item, &QAction::triggered, item, [item] { item->setChecked(true); });
    item->setIcon(image);
    item->setText(literalActionText(title));
    item->setShortcut(keySequence(keyEquivalent, modifierMask));
    new TargetAction(*item, std::move(action));
    return item;
}

} // namespace faciward::helpers
