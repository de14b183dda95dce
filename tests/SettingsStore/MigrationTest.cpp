#include "SettingsStore/Prefs.h"
#include "TestTypes.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace faciward::prefs {
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

} // namespace
} // namespace faciward::prefs
