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
    std::int64_t level = 0;
    bool operator==(const Badge &) const = default;
};

} // namespace

template<>
struct SecureCoding<Badge>
{
    static QString className() { return QStringLiteral("Badge"); }
    static void encode(QDataStream &out, const Badge &badge)
    {
        out << QString::fromStdString(badge.title) << static_cast<qint64>(badge.level);
    }
    static std::optional<Badge> decode(QDataStream &in)
    {
        QString title;
        qint64 level = 0;
        in >> title >> level;
        return Badge{title.toStdString(), level};
    }
};

} // namespace faciward::prefs

template<>
struct faciward::platform::JsonCoding<faciward::prefs::Badge>
{
    static Json::Value encode(const prefs::Badge &badge)
    {
        Json::Value object = Json::Value::object();
        object["title"] = badge.title;
        object["level"] = badge.level;
        return object;
    }
    static prefs::Badge decode(const Json::Value &json)
    {
        return {Json::string(Json::member(json, "title")), Json::int64(Json::member(json, "level"))};
    }
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
    const Badge fallback{"none", 0};
    const Key<Badge> key("badge", fallback, store);
    const auto archive = *NSSecureCodingBridge<Badge>{}.serialize(Badge{"a/b", 3});
    faciward::testing::ExpectStderr undecodable("does not hold a value of its type; its default is used$");
    const struct
    {
        const char *what;
        PlistValue stored;
        Badge read;
    } rows[] = {
        {"the JSON text", PlistValue(R"({"title":"a\/b","level":3})"), {"a/b", 3}},
        {"text that is not JSON", PlistValue(R"({"title":)"), fallback},
        {"an empty text", PlistValue(""), fallback},
        {"a member of the wrong type", PlistValue(R"({"title":"a","level":"3"})"), fallback},
        {"the keyed archive of the object", PlistValue(archive), fallback},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(store->setObject("badge", row.stored));
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(Prefs::get(key), row.read);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "reading never prints";
    }
    ASSERT_TRUE(Prefs::set(key, Badge{"a/b", 3}));
    EXPECT_EQ(store->object("badge"), rows[0].stored);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(Prefs::set(key, Badge{"bad\xc3", 1}));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "invalidValue: The text is not valid UTF-8. (at [0].title)\n");
    EXPECT_EQ(store->object("badge"), rows[0].stored) << "a failed write keeps what is stored";
}

} // namespace
} // namespace faciward::prefs
