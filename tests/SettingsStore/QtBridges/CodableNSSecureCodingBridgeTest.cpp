#include "SettingsStore/Prefs.h"
#include "SettingsStore/QtBridges/CodableNSSecureCodingBridge.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <string>

namespace faciward::prefs {
namespace {

/// An object that can be kept either way: as JSON text or as a keyed archive.
struct Badge
{
    std::string title;
    bool operator==(const Badge &) const = default;
};

} // namespace

template<>
struct SecureCoding<Badge>
{
    static QString className() { return QStringLiteral("Badge"); }
    static void encode(QDataStream &out, const Badge &badge) { out << QString::fromStdString(badge.title); }
    static std::optional<Badge> decode(QDataStream &in)
    {
        QString title;
        in >> title;
        return Badge{title.toStdString()};
    }
};

} // namespace faciward::prefs

template<>
struct faciward::platform::JsonCoding<faciward::prefs::Badge>
{
    static Json::Value encode(const prefs::Badge &badge) { return Json::Value::object({{"title", badge.title}}); }
    static prefs::Badge decode(const Json::Value &json) { return {Json::string(Json::member(json, "title"))}; }
};

namespace faciward::prefs {

template<>
struct SerializableTraits<Badge> : BridgedSerializable<CodableNSSecureCodingBridge<Badge>>
{
};

namespace {

using platform::PlistValue;

TEST(CodableNSSecureCodingBridge, keepsTheJsonTextOfTheObjectNotItsArchive)
{
    const faciward::testing::TempDir dir("faciward-badge");
    auto store = std::make_shared<platform::SettingsStore>(dir / "settings.json");
    const Key<Badge> key("badge", Badge{"none"}, store);
    ASSERT_TRUE(Prefs::set(key, Badge{"a/b"}));
    EXPECT_EQ(store->object("badge"), PlistValue(R"({"title":"a\/b"})"));
    faciward::testing::ExpectStderr undecodable("does not hold a value of its type; its default is used$");
    const struct
    {
        const char *what;
        PlistValue stored;
        Badge read;
    } rows[] = {
        {"the JSON text", PlistValue(R"({"title":"c"})"), {"c"}},
        {"text that is not JSON", PlistValue(R"({"title":)"), key.defaultValue()},
        {"the keyed archive of the object", PlistValue(*NSSecureCodingBridge<Badge>{}.serialize(Badge{"c"})),
         key.defaultValue()},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(store->setObject("badge", row.stored));
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(Prefs::get(key), row.read);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "reading never prints";
    }
}

} // namespace
} // namespace faciward::prefs
