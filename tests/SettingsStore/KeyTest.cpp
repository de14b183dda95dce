#include "Platform/Settings/SettingsFile.h"
#include "SettingsStore/Prefs.h"
#include "TestTypes.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>
#include <set>
#include <sstream>

namespace faciward::prefs {
namespace {

using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;
using platform::SettingsStore;
using test::Pose;

class KeyTest : public ::testing::Test
{
protected:
    faciward::testing::TempDir dir{"faciward-keys"};
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(dir / "settings.json");

    std::string fileText() const
    {
        std::ifstream in(dir / "settings.json");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

// Creates a key of @p defaultValue in the store it is given, and says whether
// it reads its default before any write.
template<class V>
std::function<bool(const std::shared_ptr<SettingsStore> &)> keyReadingItsDefault(const char *name, V defaultValue)
{
    return [name, defaultValue](const std::shared_ptr<SettingsStore> &suite) {
        const Key<V> key(name, defaultValue, suite);
        return Prefs::get(key) == defaultValue;
    };
}

TEST_F(KeyTest, creatingAKeyRegistersExactlyItsDefaultsStoredFormOrNothing)
{
    const auto nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        const char *name;
        std::function<bool(const std::shared_ptr<SettingsStore> &)> create;
        std::optional<PlistValue> registered;
    } rows[] = {
        {"flag", keyReadingItsDefault("flag", true), PlistValue(true)},
        {"count", keyReadingItsDefault("count", std::int64_t{6}), PlistValue(6)},
        {"ratio", keyReadingItsDefault("ratio", 0.5), PlistValue(0.5)},
        {"text", keyReadingItsDefault("text", std::string("a/b")), PlistValue("a/b")},
        {"pose", keyReadingItsDefault("pose", Pose{1, 2, 3}), PlistValue(R"({"yaw":1,"roll":2,"pitch":3})")},
        {"poses", keyReadingItsDefault("poses", std::vector<Pose>{}), PlistValue(PlistArray{})},
        {"names", keyReadingItsDefault("names", std::set<std::string>{"b", "a"}), PlistValue(PlistArray{"a", "b"})},
        {"colour", keyReadingItsDefault("colour", test::Colour::green), PlistValue(2)},
        {"someCount", keyReadingItsDefault("someCount", std::optional<std::int64_t>(3)), PlistValue(3)},
        {"noPose", keyReadingItsDefault("noPose", std::optional<Pose>()), std::nullopt},
        {"noPoseByName",
         [](const std::shared_ptr<SettingsStore> &suite) {
             const Key<std::optional<Pose>> key("noPoseByName", suite);
             return Prefs::get(key) == std::nullopt;
         },
         std::nullopt},
        {"someNone", keyReadingItsDefault("someNone", std::optional<std::optional<std::int64_t>>(std::nullopt)),
         std::nullopt},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        PlistDictionary expected = store->dictionaryRepresentation();
        EXPECT_TRUE(row.create(store)) << "reads its default before any write";
        if (row.registered)
            expected.insert_or_assign(row.name, *row.registered);
        EXPECT_EQ(store->dictionaryRepresentation(), expected);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "settings.json")) << "registration is never persisted";

    // A default without a stored form registers nothing, and says why once.
    ::testing::internal::CaptureStdout();
    const PlistDictionary before = store->dictionaryRepresentation();
    EXPECT_TRUE(std::isnan(Prefs::get(Key<Pose>("badPose", Pose{nan, 0, 0}, store)).yaw));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "invalidValue: Unable to encode the number nan directly in JSON. (at [0].yaw)\n");
    EXPECT_EQ(store->dictionaryRepresentation(), before);
}

TEST_F(KeyTest, anObjectOfAnotherTypeReadsAsTheDefaultUnlessItsTextConverts)
{
    faciward::testing::ExpectStderr undecodable("^faciward: the setting \".*\" in .* does not hold a value of its type; its default is used$");
    const Key<std::int64_t> key("n", 6, store);
    SettingsStore other(dir / "other.json"); // another store is read and written on its own
    ASSERT_TRUE(Prefs::set(other, key, std::int64_t{42}));
    EXPECT_EQ(Prefs::get(other, key), 42);
    EXPECT_EQ(Prefs::get(key), 6);
    ASSERT_TRUE(store->setObject("n", PlistValue(PlistArray{PlistValue(1)})));
    EXPECT_EQ(Prefs::get(key), 6);
    ASSERT_TRUE(store->setObject("n", PlistValue("7")));
    EXPECT_EQ(Prefs::get(key), 7);
    ASSERT_TRUE(store->setObject("n", PlistValue(true)));
    EXPECT_EQ(Prefs::get(key), 1) << "a Boolean is the number 0 or 1";
    for (const PlistValue &bad : {PlistValue(7.5), PlistValue("7.5"), PlistValue("true")}) {
        ASSERT_TRUE(store->setObject("n", bad));
        EXPECT_EQ(Prefs::get(key), 6);
    }
    const Key<std::uint64_t> count("count", 1u, store);
    ASSERT_TRUE(store->setObject("count", PlistValue(-1)));
    EXPECT_EQ(Prefs::get(count), 1u);
    ASSERT_TRUE(store->setObject("count", PlistValue("-1")));
    EXPECT_EQ(Prefs::get(count), 1u);
}

TEST_F(KeyTest, aValueThatDoesNotConvertKeepsWhatIsStored)
{
    const Key<Pose> key("pose", Pose{}, store);
    ASSERT_TRUE(Prefs::set(key, Pose{1, 2, 3}));
    const std::string before = fileText();

    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(Prefs::set(key, Pose{std::numeric_limits<double>::quiet_NaN(), 0, 0}));
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "invalidValue: Unable to encode the number nan directly in JSON. (at [0].yaw)\n");
    EXPECT_EQ(Prefs::get(key), (Pose{1, 2, 3}));
    EXPECT_EQ(fileText(), before);

    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(Prefs::update(key, [](Pose &pose) { pose.roll = std::numeric_limits<double>::infinity(); }));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "invalidValue: Unable to encode the number inf directly in JSON. (at [0].roll)\n");
    EXPECT_EQ(Prefs::get(key), (Pose{1, 2, 3}));
}

TEST_F(KeyTest, writingSomeNoneToANestedOptionalRemovesTheEntry)
{
    using Nested = std::optional<std::optional<std::int64_t>>;
    const Key<Nested> key("nested", store);
    const struct
    {
        const char *what;
        std::function<bool()> writeSomeNone;
    } writes[] = {
        {"set", [&] { return Prefs::set(key, Nested(std::optional<std::int64_t>())); }},
        {"update", [&] { return Prefs::update(key, [](Nested &value) { value.emplace(); }); }},
    };
    for (const auto &write : writes) {
        SCOPED_TRACE(write.what);
        ASSERT_TRUE(Prefs::set(key, Nested(5)));
        ASSERT_EQ(store->object("nested"), PlistValue(5));
        EXPECT_TRUE(write.writeSomeNone());
        EXPECT_FALSE(store->object("nested"));
        EXPECT_EQ(fileText().find("nested"), std::string::npos);
        EXPECT_EQ(Prefs::get(key), std::nullopt);
    }
}

TEST_F(KeyTest, aWriteThatCannotBePersistedReportsFalse)
{
    const Key<bool> key("flag", false, store);
    store->setWriteInterruption([](auto) { return true; });
    faciward::testing::ExpectStderr expected("could not be saved");
    EXPECT_FALSE(Prefs::set(key, true));
    EXPECT_FALSE(Prefs::update(key, [](bool &flag) { flag = true; }));
    store->setWriteInterruption({});
    EXPECT_FALSE(Prefs::get(key));
}

TEST_F(KeyTest, resetsWorkInListOrderAndRemoveAllEmptiesTheApplicationDomain)
{
    const Key<std::int64_t> a("a", 1, store);
    const Key<std::string> b("b", "x", store);
    ASSERT_TRUE(Prefs::set(a, std::int64_t{2}));
    ASSERT_TRUE(Prefs::set(b, std::string("y")));
    ASSERT_TRUE(store->setObject("c", PlistValue(3)));

    Prefs::reset(std::vector<std::reference_wrapper<const AnyKey>>{});
    EXPECT_EQ(Prefs::get(a), 2);
    Prefs::reset(a, b);
    EXPECT_EQ(Prefs::get(a), 1);
    EXPECT_EQ(Prefs::get(b), "x");

    ASSERT_TRUE(Prefs::set(a, std::int64_t{2}));
    Prefs::reset({"a", "c"}, *store);
    EXPECT_EQ(store->dictionaryRepresentation(), (PlistDictionary{{"a", PlistValue(1)}, {"b", PlistValue("x")}}));

    ASSERT_TRUE(Prefs::set(b, std::string("z")));
    Prefs::removeAll(*store);
    EXPECT_EQ(Prefs::get(b), "x");
    EXPECT_EQ(SettingsStore(dir / "settings.json").dictionaryRepresentation(), PlistDictionary{});
}

} // namespace
} // namespace faciward::prefs
