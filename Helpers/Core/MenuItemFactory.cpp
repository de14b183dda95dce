#include "MenuItemFactory.h"

#include "ActionText.h"
#include "TargetAction.h"

#include <QAction>

#include <cstdio>

namespace faciward::helpers {

namespace {

// The platform's private-use characters for keys that have no character.
int functionKey(char16_t c)
{
    if (c >= 0xF704 && c <= 0xF726)
        return Qt::Key_F1 + (c - 0xF704);
    switch (c) {
    case 0xF700: return Qt::Key_Up;
    case 0xF701: return Qt::Key_Down;
    case 0xF702: return Qt::Key_Left;
    case 0xF703: return Qt::Key_Right;
    case 0xF728: return Qt::Key_Delete;
    case 0xF729: return Qt::Key_Home;
    case 0xF72B: return Qt::Key_End;
    case 0xF72C: return Qt::Key_PageUp;
    case 0xF72D: return Qt::Key_PageDown;
    case u'\r':
    case u'\n': return Qt::Key_Return;
    case u'\t': return Qt::Key_Tab;
    case 0x1B: return Qt::Key_Escape;
    case 0x08:
    case 0x7F: return Qt::Key_Backspace;
    default: return 0;
    }
}

} // namespace

QKeySequence keySequence(const std::optional<QString> &keyEquivalent, std::optional<ModifierFlags> modifierMask)
{
    if (!keyEquivalent || keyEquivalent->isEmpty())
        return {};
    if (keyEquivalent->size() != 1) {
        std::fprintf(stderr, "Menu key equivalent \"%s\" is not one key; the item gets no shortcut\n",
                     qUtf8Printable(*keyEquivalent));
        return {};
    }
    const QChar c = keyEquivalent->front();
    const ModifierFlags mask = modifierMask.value_or(ModifierFlag::Command);
    int key = functionKey(c.unicode());
    Qt::KeyboardModifiers modifiers;
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
    item->setIcon(image);
    item->setText(literalActionText(title));
    item->setShortcut(keySequence(keyEquivalent, modifierMask));
    new TargetAction(*item, std::move(action));
    return item;
}

} // namespace faciward::helpers
