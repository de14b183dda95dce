#include "Helpers/Core/MenuItemFactory.h"

#include "tests/support/Guards.h"
#include "tests/support/WidgetApplication.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

namespace faciward::helpers {
namespace {

TEST(MenuItemFactoryTest, keyEquivalentsBecomeShortcuts)
{
    using M = ModifierFlag;
    const std::tuple<std::optional<QString>, std::optional<ModifierFlags>, QKeySequence> table[] = {
        {std::nullopt, std::nullopt, {}},
        {QString(), std::nullopt, {}},
        {"q", std::nullopt, QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {"Q", std::nullopt, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q)},
        {",", M::Command | M::Option, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Comma)},
        {"d", M::Control | M::Shift, QKeySequence(Qt::META | Qt::SHIFT | Qt::Key_D)},
        {"x", ModifierFlags(), QKeySequence(Qt::Key_X)},
        {QString(QChar(0xF700)), std::nullopt, QKeySequence(Qt::CTRL | Qt::Key_Up)},
        {QString(QChar(0xF705)), ModifierFlags(), QKeySequence(Qt::Key_F2)},
        {"\r", std::nullopt, QKeySequence(Qt::CTRL | Qt::Key_Return)},
        {"ab", std::nullopt, {}},
        // Keys named by a character of their own: each is its key, never "Ctrl+" and an invisible one.
        {QString(QChar(0xF727)), ModifierFlags(), QKeySequence(Qt::Key_Insert)},
        {QString(QChar(0xF746)), std::nullopt, QKeySequence(Qt::CTRL | Qt::Key_Help)},
        {QString(QChar(0x03)), ModifierFlags(), QKeySequence(Qt::Key_Enter)},
        {QString(QChar(0x19)), M::Shift, QKeySequence(Qt::SHIFT | Qt::Key_Backtab)},
        {QString(QChar(0xF72A)), std::nullopt, {}}, // "begin": no such key here
        {QString(QChar(0x01)), std::nullopt, {}},
    };
    testing::ExpectStderr notOneKey("Menu key equivalent \"ab\" is not one key");
    testing::ExpectStderr noSuchKey("Menu key equivalent U\\+(F72A|0001) is a key that Qt does not know");
    for (const auto &[key, mask, expected] : table)
        EXPECT_EQ(keySequence(key, mask), expected)
            << "U+" << std::hex << (key && !key->isEmpty() ? key->front().unicode() : 0) << " "
            << keySequence(key, mask).toString().toStdString();
    EXPECT_EQ(notOneKey.matched(), 1);
}

// A caller's text reaches standard error escaped, on one line of its own.
TEST(MenuItemFactoryTest, aCallersTextIsEscapedOnStandardError)
{
    testing::ExpectStderr escaped("^faciward: Menu key equivalent \"a\\\\nb\" is not one key; the item gets no shortcut$");
    EXPECT_EQ(keySequence(QStringLiteral("a\nb"), std::nullopt), QKeySequence());
    EXPECT_EQ(escaped.matched(), 1);
}

TEST(MenuItemFactoryTest, itemsAreLiteralAndTheirClosuresLiveExactlyAsLongAsThey)
{
    testing::widgetApplication();
    const MenuItemFactory factory;
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> watch = captured;
    QMenu menu;
    for (int rebuild = 0; rebuild < 1000; ++rebuild) {
        menu.clear();
        for (const bool state : {true, false})
            menu.addAction(factory.makeItem("Security & Privacy\tNow", QIcon(), state, std::nullopt, std::nullopt,
                                            [captured] { ++*captured; }, &menu));
    }
    EXPECT_EQ(watch.use_count(), 1 + 2); // the test's own and the two live items', nothing from old menus
    for (const QAction *item : menu.actions()) {
        EXPECT_EQ(item->iconText(), "Security & Privacy Now"); // "&" is no mnemonic, the tab no column
        const bool state = item == menu.actions().front();
        EXPECT_EQ(item->isChecked(), state);
        EXPECT_EQ(item->isCheckable(), state); // an unchecked checkable item would draw an empty box
        EXPECT_TRUE(item->shortcut().isEmpty() && item->icon().isNull());
    }
    captured.reset();
    for (QAction *item : menu.actions())
        item->trigger(); // every other owner is gone; the item keeps the closure
    EXPECT_EQ(*watch.lock(), 2);
    for (const QAction *item : menu.actions())
        EXPECT_EQ(item->isChecked(), item == menu.actions().front()) << "chosen, it keeps its state";
}

} // namespace
} // namespace faciward::helpers
