#include "SettingsStore/Prefs.h"
#include "TestTypes.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

// How an older format wrote a Colour: its raw value, under a codable type of its own.
namespace faciward::prefs::test {
enum class ColourCode { red = 1, green = 2, blue = 3 };
} // namespace faciward::prefs::test

namespace faciward::platform {
template<>
struct JsonCoding<prefs::test::ColourCode>
{
    static Json::Value encode(prefs::test::ColourCode code) { return Json::Value(static_cast<std::int64_t>(code)); }
    static prefs::test::ColourCode decode(const Json::Value &json)
    {
        const std::int64_t raw = Json::int64(json);
        if (raw < 1 || raw > 3)
            throw JsonException(JsonError::dataCorrupted, "No colour code.");
        return static_cast<prefs::test::ColourCode>(raw);
    }
};
} // namespace faciward::platform

namespace faciward::prefs {

template<>
struct RawRepresentation<test::ColourCode>
{
    using RawValue = std::int64_t;
    static RawValue rawValue(test::ColourCode code) { return static_cast<RawValue>(code); }
    static std::optional<test::ColourCode> fromRawValue(RawValue raw) { return static_cast<test::ColourCode>(raw); }
};

// No toNative of its own: the colour is made from the code's raw value.
template<>
struct NativeForm<test::Colour>
{
    using CodableForm = test::ColourCode;
};

namespace {

using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;

TEST(Migration, rewritesDecodableTextOnceAndLeavesEverythingElse)
{
    faciward::testing::TempDir dir{"faciward-migration"};
    const auto store = std::make_shared<platform::SettingsStore>(dir / "settings.json");
    const std::pair<const char *, const char *> old[] = {
        {"numbers", "[1,2,3]"}, {"names", R"({"a":"x","b":"y"})"}, {"bad", "[1,"},
        {"good", "[4]"},       {"quoted", R"("\"x\"")"},           {"pose", R"({"pitch":3,"roll":2,"yaw":1})"},
    };
    for (const auto &[name, text] : old)
        ASSERT_TRUE(store->setObject(name, PlistValue(text)));
    const Key<std::vector<int>> numbers("numbers", {}, store), bad("bad", {}, store), good("good", {}, store);
    const Key<std::optional<std::vector<int>>> absent("absent", store);
    const Key<std::map<std::string, std::string>> names("names", {}, store);
    const Key<std::string> quoted("quoted", "", store);
    const Key<test::Pose> pose("pose", {}, store);
    std::vector<std::string> told;
    for (const char *name : {"numbers", "names", "bad", "good", "quoted", "pose", "absent"})
        (void)store->addObserver(name, platform::observingNew, [&told, name](const auto &) { told.push_back(name); });

    const auto migrateAll = [&] {
        Prefs::migrate<std::vector<int>>({bad, good, numbers}, Version::v5);
        Prefs::migrate<std::optional<std::vector<int>>>({absent}, Version::v5);
        Prefs::migrate<std::map<std::string, std::string>>({names}, Version::v5);
        Prefs::migrate<std::string>({quoted}, Version::v5);
        Prefs::migrate<test::Pose>({pose}, Version::v5);
    };
    migrateAll();

    const std::pair<const char *, std::optional<PlistValue>> expected[] = {
        {"numbers", PlistValue(PlistArray{1, 2, 3})},
        {"names", PlistValue(PlistDictionary{{"a", "x"}, {"b", "y"}})},
        {"bad", PlistValue("[1,")},
        {"good", PlistValue(PlistArray{4})},
        {"quoted", PlistValue(R"("x")")},
        {"pose", PlistValue(R"({"yaw":1,"roll":2,"pitch":3})")},
    };
    for (const auto &[name, value] : expected)
        EXPECT_EQ(store->object(name), value) << name;
    EXPECT_FALSE(store->object("absent"));
    EXPECT_EQ(told, (std::vector<std::string>{"good", "numbers", "names", "quoted", "pose"}));

    const auto fileText = [&] {
        std::stringstream text;
        text << std::ifstream(dir / "settings.json").rdbuf();
        return text.str();
    };
    const std::string afterFirst = fileText();
    told.clear();
    migrateAll();
    EXPECT_EQ(fileText(), afterFirst) << "a second run would unquote \"quoted\" again";
    EXPECT_TRUE(told.empty());
}

TEST(Migration, decodesTextKeyedDictionariesAndRawValuedFormsIntoTheKeysOwnStoredForm)
{
    faciward::testing::TempDir dir{"faciward-migration"};
    const auto store = std::make_shared<platform::SettingsStore>(dir / "settings.json");
    using ByNumber = std::map<std::int64_t, std::string>;
    const Key<ByNumber> byNumber("byNumber", {}, store);
    const Key<test::Colour> green("green", test::Colour::red, store), blue("blue", test::Colour::red, store),
        unknown("unknown", test::Colour::red, store);
    const Key<std::vector<test::Colour>> colours("colours", {}, store), someUnknown("someUnknown", {}, store);
    const struct
    {
        const char *name;
        const char *text;
        std::function<void()> migrate;
        PlistValue after;
    } cases[] = {
        {"byNumber", R"({"7":"seven","+8":"eight","x1":"no key"})",
         [&] { Prefs::migrate<ByNumber>({byNumber}, Version::v5); },
         *toSerializable(ByNumber{{7, "seven"}, {8, "eight"}})},
        {"green", "2", [&] { Prefs::migrate<test::Colour>({green}, Version::v5); }, PlistValue(2)},
        {"blue", "3", [&] { Prefs::migrate<test::Colour>({blue}, Version::v5); }, PlistValue("3")},
        {"unknown", "4", [&] { Prefs::migrate<test::Colour>({unknown}, Version::v5); }, PlistValue("4")},
        {"colours", "[2,1]", [&] { Prefs::migrate<std::vector<test::Colour>>({colours}, Version::v5); },
         PlistValue(PlistArray{2, 1})},
        {"someUnknown", "[1,3]", [&] { Prefs::migrate<std::vector<test::Colour>>({someUnknown}, Version::v5); },
         PlistValue("[1,3]")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store->setObject(c.name, PlistValue(c.text)));
        c.migrate();
        EXPECT_EQ(store->object(c.name), c.after);
    }
    EXPECT_EQ(Prefs::get(byNumber), (ByNumber{{7, "seven"}, {8, "eight"}}));
    EXPECT_EQ(Prefs::get(colours), (std::vector<test::Colour>{test::Colour::green, test::Colour::red}));
}

} // namespace
} // namespace faciward::prefs
