#include "SettingsStore/Prefs.h"
#include "SettingsStore/QtBridges/ColorBridge.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace faciward::prefs {
namespace {

class ColorBridgeTest : public ::testing::Test
{
protected:
    faciward::testing::TempDir dir{"faciward-colour"};
    std::shared_ptr<platform::SettingsStore> store = std::make_shared<platform::SettingsStore>(dir / "settings.json");
    const QColor fallback = QColor(Qt::darkCyan);
    Key<QColor> key{"colour", fallback, store};
    // A stored value that does not decode is reported once per key and load.
    faciward::testing::ExpectStderr undecodable{"does not hold a value of its type; its default is used$"};
};

TEST_F(ColorBridgeTest, aColourReadsBackWithItsModelComponentsAndAlpha)
{
    const struct
    {
        QColor colour;
        QColor::Spec model;
    } colours[] = {
        {QColor::fromRgb(10, 20, 30, 40), QColor::Rgb},
        {QColor::fromRgba64(1234, 65535, 7, 99), QColor::Rgb},
        {QColor::fromHsv(300, 128, 200, 17), QColor::Hsv},
        {QColor::fromHsvF(0.123456f, 0.5f, 0.987654f, 0.25f), QColor::Hsv},
        {QColor::fromHsl(12, 34, 56, 78), QColor::Hsl},
        {QColor::fromCmyk(10, 20, 30, 40, 50), QColor::Cmyk},
        {QColor::fromCmykF(0.123456f, 0.0f, 1.0f, 0.987654f), QColor::Cmyk},
        {QColor::fromRgbF(1.5f, -0.25f, 0.5f, 0.75f), QColor::ExtendedRgb},
        {QColor::fromRgbF(0.1f, 0.2f, 0.3f).toExtendedRgb(), QColor::ExtendedRgb},
    };
    for (const auto &[colour, model] : colours) {
        SCOPED_TRACE(colour.name(QColor::HexArgb).toStdString());
        ASSERT_EQ(colour.spec(), model);
        ASSERT_TRUE(Prefs::set(key, colour));
        const QColor read = Prefs::get(key);
        EXPECT_EQ(read.spec(), model);
        EXPECT_EQ(read.redF(), colour.redF()) << "extended components keep their range";
        EXPECT_EQ(read, colour) << "every 16-bit component and alpha";
    }
}

TEST_F(ColorBridgeTest, dataThatIsNoColourArchiveReadsTheDefault)
{
    const platform::PlistData archive = *toValue<platform::PlistData>(*toSerializable(QColor::fromHsv(10, 20, 30)));
    const struct
    {
        const char *what;
        platform::PlistData data;
        bool printsOneLine;
    } cases[] = {
        {"random bytes", {0x13, 0x37, 0xbe, 0xef, 0x00, 0x42, 0x99}, true},
        {"a damaged colour", platform::PlistData(archive.begin(), archive.end() - 3), true},
        {"a colour with bytes after it", [&] { auto d = archive; d.push_back(0); return d; }(), true},
        {"a colour of no known model", [&] { auto d = archive; d[d.size() - 11] = 42; return d; }(), true},
        {"a colour of no possible hue", [&] { auto d = archive; d[d.size() - 8] = 0x9c; return d; }(), true},
        {"an archive of another class",
         *KeyedArchive::archive(QStringLiteral("QString"), [](QDataStream &out) { out << QStringLiteral("red"); }),
         false},
        {"empty data", {}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(store->setObject("colour", platform::PlistValue(c.data)));
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(Prefs::get(key), fallback);
        const std::string printed = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), c.printsOneLine ? 1 : 0) << printed;
    }
}

} // namespace
} // namespace faciward::prefs
