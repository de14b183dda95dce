#include "SettingsStore/Prefs.h"
#include "SettingsStore/QtBridges/URLBridge.h"
#include "SettingsStore/QtBridges/UUIDBridge.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace faciward::prefs {
namespace {

using platform::PlistArray;
using platform::PlistValue;

class AddressBridgeTest : public ::testing::Test
{
protected:
    faciward::testing::TempDir dir{"faciward-addresses"};
    std::shared_ptr<platform::SettingsStore> store = std::make_shared<platform::SettingsStore>(dir / "settings.json");
    const QUuid id = QUuid::fromString(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"));
    // A stored value that does not decode is reported once per key and load.
    faciward::testing::ExpectStderr undecodable{"does not hold a value of its type; its default is used$"};
};

TEST_F(AddressBridgeTest, anAddressIsKeptAsItsJsonText)
{
    const Key<QUrl> key("url", QUrl(QStringLiteral("https://example.org/")), store);
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/home/u/Documents/standard/k 1.png"));
    ASSERT_TRUE(Prefs::set(key, file));
    EXPECT_EQ(store->object("url"), PlistValue(R"("file:\/\/\/home\/u\/Documents\/standard\/k%201.png")"));
    EXPECT_EQ(Prefs::get(key), file);
    for (const char *bad : {R"("")", R"("http:\/\/[::1")", "file:///x", "7"}) {
        ASSERT_TRUE(store->setObject("url", PlistValue(bad)));
        EXPECT_EQ(Prefs::get(key), key.defaultValue()) << bad;
    }
}

TEST_F(AddressBridgeTest, migrationDecodesOldTextAsAnAddressAndLeavesNullAlone)
{
    const Key<std::optional<QUrl>> optional("optional", store);
    const Key<QUrl> plain("plain", QUrl(QStringLiteral("https://example.org/")), store);
    const struct
    {
        const char *text;
        const char *after;
    } cases[] = {
        {R"("file:///a/b.png")", R"("file:\/\/\/a\/b.png")"}, // rewritten in the current form
        {"null", "null"}, // no address: the entry stays, under the optional key too
        {"file:///a", "file:///a"},
        {"7", "7"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        for (const char *name : {"optional", "plain"})
            ASSERT_TRUE(store->setObject(name, PlistValue(c.text)));
        store->removeObject(std::string(migrationMarkerName)); // the same keys, afresh
        Prefs::migrate<std::optional<QUrl>>({optional}, Version::v5);
        Prefs::migrate<QUrl>({plain}, Version::v5);
        EXPECT_EQ(store->object("optional"), PlistValue(c.after));
        EXPECT_EQ(store->object("plain"), PlistValue(c.after));
    }
}

TEST_F(AddressBridgeTest, anIdentifierIsStoredUpperCaseAndReadInAnyCase)
{
    const Key<QUuid> key("id", QUuid(), store);
    ASSERT_TRUE(Prefs::set(key, id));
    EXPECT_EQ(store->object("id"), PlistValue("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    ASSERT_TRUE(store->setObject("id", PlistValue("0f8fad5b-d9cb-469f-a165-70867728950e")));
    EXPECT_EQ(Prefs::get(key), id);
    for (const char *bad : {"{0f8fad5b-d9cb-469f-a165-70867728950e}", "0f8fad5bd9cb469fa16570867728950e",
                            "0f8fad5b-d9cb-469f-a165-70867728950g", "not an identifier", ""}) {
        ASSERT_TRUE(store->setObject("id", PlistValue(bad)));
        EXPECT_TRUE(Prefs::get(key).isNull()) << bad;
    }
}

TEST_F(AddressBridgeTest, aSetOfIdentifiersIsAnArrayOfTheirTexts)
{
    const Key<std::set<QUuid>> key("ids", {}, store);
    ASSERT_TRUE(Prefs::set(key, std::set<QUuid>{id}));
    EXPECT_EQ(store->object("ids"), PlistValue(PlistArray{"0F8FAD5B-D9CB-469F-A165-70867728950E"}));
    ASSERT_TRUE(store->setObject("ids", PlistValue(PlistArray{"bad", "0f8fad5b-d9cb-469f-a165-70867728950e"})));
    EXPECT_EQ(Prefs::get(key), std::set<QUuid>{id});
}

TEST_F(AddressBridgeTest, aDictionaryOfAddressesIsKeptFromDecimalTextToTheAddressesJsonText)
{
    using UrlsById = std::map<std::int64_t, QUrl>;
    const Key<UrlsById> key("urls", {}, store);
    const UrlsById urls{{-2, QUrl(QStringLiteral("https://example.org/a b"))},
                        {10, QUrl::fromLocalFile(QStringLiteral("/p/k.png"))}};
    ASSERT_TRUE(Prefs::set(key, urls));
    EXPECT_EQ(store->object("urls"), PlistValue(platform::PlistDictionary{
                                         {"-2", R"("https:\/\/example.org\/a%20b")"}, {"10", R"("file:\/\/\/p\/k.png")"}}));
    EXPECT_EQ(Prefs::get(key), urls);

    ASSERT_TRUE(store->setObject("urls", PlistValue(platform::PlistDictionary{
                                             {"7", R"("file:\/\/\/p\/k.png")"},
                                             {"seven", R"("file:\/\/\/p\/s.png")"},
                                             {"8", R"("")"},
                                             {"1.0", R"("file:\/\/\/p\/f.png")"}})));
    EXPECT_EQ(Prefs::get(key), (UrlsById{{7, QUrl::fromLocalFile(QStringLiteral("/p/k.png"))}}))
        << "texts that are no integer, and addresses that do not decode, are skipped";
}

} // namespace
} // namespace faciward::prefs
