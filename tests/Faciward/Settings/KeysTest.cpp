#include "Faciward/Settings/Keys.h"
#include "SettingsStore/Prefs.h"
#include "tests/SettingsStore/TestTypes.h"
#include "tests/support/ScopedSettingsFile.h"

#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <type_traits>
#include <limits>
#include <sstream>

namespace faciward::settings {
namespace {

using platform::PlistArray;
using platform::PlistValue;
using prefs::Prefs;

const auto newYear2024 = std::chrono::system_clock::time_point(std::chrono::seconds(1704067200));

class KeysTest : public ::testing::Test
{
protected:
    faciward::testing::ScopedSettingsFile settings;

    std::string fileText() const
    {
        std::ifstream in(settings.path());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Forgets what is in memory, as a restart does, and reads the file again.
    void restart() const { settings.store()->relocate(settings.path()); }
};

TEST_F(KeysTest, aFreshStoreReadsEveryKeyAsItsDefaultAndAnswersItsNameWithTheRegisteredForm)
{
    struct Row
    {
        const char *name;
        const prefs::AnyKey &key;
        std::function<bool()> readsDefault;
        std::optional<PlistValue> registered; // what the store answers for the name
    };
    const auto row = []<class V>(const char *name, const prefs::Key<V> &key, std::type_identity_t<V> expected,
                                 std::optional<PlistValue> registered) {
        return Row{name, key, [&key, expected] { return Prefs::get(key) == expected; }, std::move(registered)};
    };
    const PlistValue no(false);
    const PlistValue empty{PlistArray{}};
    const Row rows[] = {
        row("discreteMode", Keys::discreteMode(), true, PlistValue(true)),
        row("facePrecision", Keys::facePrecision(), FacePrecision::low, PlistValue(R"({"low":{}})")),
        row("storedImages", Keys::storedImages(), {}, empty),
        row("inactivityTime", Keys::inactivityTime(), 6, PlistValue(6)),
        row("locksComputerAfterRate", Keys::locksComputerAfterRate(), 8, PlistValue(8)),
        row("startsTrackingAfterUnlockingRate", Keys::startsTrackingAfterUnlockingRate(), 8, PlistValue(8)),
        row("takePictureWhenLockingScreen", Keys::takePictureWhenLockingScreen(), false, no),
        row("onboardingSeen.2", Keys::onboardingSeen(), false, no),
        row("embeddings", Keys::embeddings(), {}, empty),
        row("isBiometricEnabled", Keys::isBiometricEnabled(), false, no),
        row("disabled", Keys::disabled(), false, no),
        row("removeCurtainWhenUnlocked", Keys::removeCurtainWhenUnlocked(), false, no),
        row("runScreenSaver", Keys::runScreenSaver(), false, no),
        row("DisableTime", Keys::disableTime(), std::nullopt, std::nullopt),
    };
    const auto store = settings.store();
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.key.name(), r.name);
        EXPECT_EQ(r.key.suite(), store);
        EXPECT_TRUE(r.readsDefault());
        EXPECT_EQ(store->object(r.name), r.registered);
    }
    EXPECT_EQ(store->dictionaryRepresentation().size(), std::size(rows) - 1) << "all but \"DisableTime\" registered";
    EXPECT_FALSE(std::filesystem::exists(settings.path())) << "defaults are never written";
}

TEST_F(KeysTest, structuredValuesAreStoredAsTheirJsonText)
{
    // The stored names that differ from the keys' own.
    EXPECT_EQ(Keys::onboardingSeen().name(), "onboardingSeen.2");
    EXPECT_EQ(Keys::disableTime().name(), "DisableTime");
    EXPECT_EQ(Prefs::get(Keys::facePrecision()), FacePrecision::low);
    EXPECT_FALSE(std::filesystem::exists(settings.path())) << "reading and registering write nothing";
    ASSERT_TRUE(Prefs::set(Keys::facePrecision(), FacePrecision::medium));
    EXPECT_EQ(settings.store()->object("facePrecision"), PlistValue(R"({"medium":{}})"));
    EXPECT_NE(fileText().find(R"("facePrecision":"{\"medium\":{}}")"), std::string::npos) << fileText();

    ASSERT_TRUE(Prefs::set(Keys::disableTime(), std::optional<DisableTime>({newYear2024, 30, DisableTime::State::time})));
    EXPECT_EQ(settings.store()->object("DisableTime"), PlistValue(R"({"startDate":725760000,"duration":30,"state":0})"));
    ASSERT_TRUE(Prefs::set(Keys::disableTime(), std::optional<DisableTime>()));
    EXPECT_FALSE(settings.store()->object("DisableTime"));

    const std::vector<ImageItem> items{{"a", "file:///p/a.png"}, {"b", "file:///p/b.png"}};
    ASSERT_TRUE(Prefs::set(Keys::storedImages(), items));
    EXPECT_EQ(settings.store()->object("storedImages"),
              PlistValue(PlistArray{PlistValue(R"({"key":"a","url":"file:\/\/\/p\/a.png"})"),
                                    PlistValue(R"({"key":"b","url":"file:\/\/\/p\/b.png"})")}));
    restart();
    EXPECT_EQ(Prefs::get(Keys::storedImages()), items);
    EXPECT_EQ(Prefs::get(Keys::facePrecision()), FacePrecision::medium);
}

TEST_F(KeysTest, storedImagesDropsBadItemsButAForeignArrayReadsEmpty)
{
    faciward::testing::ExpectStderr undecodable("^faciward: the setting \".*\" in .* does not hold a value of its type; its default is used$");
    auto store = settings.store();
    ASSERT_TRUE(store->setObject("storedImages", PlistValue(PlistArray{PlistValue("{not an item"),
                                                                       PlistValue(R"({"key":"k","url":"u"})")})));
    EXPECT_EQ(Prefs::get(Keys::storedImages()), (std::vector<ImageItem>{{"k", "u"}}));

    // An item whose address is no URL is left out; the valid ones are written
    // back exactly as they were, also where a URL coder would rewrite them.
    const PlistArray valid{PlistValue(R"({"key":"k1","url":"file:\/\/\/p\/k1%2009.00.png"})"),
                           PlistValue(R"({"key":"k3","url":"FILE:\/\/\/p\/%7e%41.png"})"),
                           PlistValue(R"({"key":"k4","url":"u"})")};
    const std::vector<std::pair<const char *, const char *>> badUrls{
        {"empty", R"({"key":"k","url":""})"},
        {"bad escapes", R"({"key":"k2","url":"%%% not a url"})"},
        {"a blank", R"({"key":"k5","url":"file:\/\/\/p\/a b.png"})"},
        {"no scheme before the colon", R"({"key":"k6","url":":nope"})"},
    };
    for (const auto &[what, bad] : badUrls) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(store->setObject("storedImages",
                                     PlistValue(PlistArray{valid[0], PlistValue(bad), valid[1], valid[2]})));
        const auto items = Prefs::get(Keys::storedImages());
        EXPECT_EQ(items, (std::vector<ImageItem>{{"k1", "file:///p/k1%2009.00.png"},
                                                  {"k3", "FILE:///p/%7e%41.png"},
                                                  {"k4", "u"}}));
        ASSERT_TRUE(Prefs::set(Keys::storedImages(), items));
        EXPECT_EQ(store->object("storedImages"), PlistValue(valid));
    }
    ASSERT_TRUE(store->setObject("storedImages", PlistValue(PlistArray{PlistValue(R"({"key":"k","url":"u"})"),
                                                                       PlistValue(3)})));
    EXPECT_TRUE(Prefs::get(Keys::storedImages()).empty());
}

TEST_F(KeysTest, embeddingsAreNestedArraysOfNumbersAndKeepANaNAcrossARestart)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> embeddings{{0.25, -1.5, 3.0}, {nan, 1e-300, 0.0}};
    ASSERT_TRUE(Prefs::set(Keys::embeddings(), embeddings));
    const auto stored = settings.store()->object("embeddings");
    ASSERT_TRUE(stored && stored->is<PlistArray>());
    for (const auto &row : *stored->getIf<PlistArray>()) {
        ASSERT_TRUE(row.is<PlistArray>());
        for (const auto &number : *row.getIf<PlistArray>())
            EXPECT_EQ(number.type(), PlistValue::Type::real);
    }
    EXPECT_NE(fileText().find(R"("embeddings":[[0.25,-1.5,3.0],[{"$double":"nan"},1e-300,0.0]])"), std::string::npos)
        << fileText();

    restart();
    const auto reread = Prefs::get(Keys::embeddings());
    ASSERT_EQ(reread.size(), 2u);
    EXPECT_EQ(reread[0], embeddings[0]);
    EXPECT_TRUE(std::isnan(reread[1][0]));
    EXPECT_EQ(reread[1][1], 1e-300);
    EXPECT_EQ(reread[1][2], 0.0);
}

// A file as the previous version wrote it, numbers in JSON text in exponent
// notation: it reads back to the values that were written, and writing them
// again changes only the notation of the numbers inside JSON texts.
TEST_F(KeysTest, aFileOfThePreviousVersionReadsBackToTheValuesItWasWrittenWith)
{
    {
        std::filesystem::create_directories(settings.path().parent_path());
        std::ofstream(settings.path()) << R"({"formatVersion":1,"values":{)"
            R"("DisableTime":"{\"startDate\":7.86e+08,\"duration\":100000,\"state\":0}",)"
            R"("embeddings":[[0.1,1e-05,7.86e+08,1e+05,-0.0,1e-04,1e+16]],"facePrecision":"{\"high\":{}}",)"
            R"("floatsById":{"1":"0.10000000149011612","2":"1e+05"},"inactivityTime":100000,"onboardingSeen.2":true,)"
            R"("pose":"{\"yaw\":7.86e+08,\"roll\":0.1,\"pitch\":-1e-07}","storedImages":["{\"key\":\"a\",\"url\":\"file:\\\/\\\/\\\/p\\\/a.png\"}"],)"
            R"("weights":{"1":"1e+05","2":"1e-04","3":"1e-05","4":"1e+16","5":"786000000.25"}}})";
    }
    restart();
    auto store = settings.store();
    using prefs::Key;
    const Key<std::map<std::int64_t, double>> weights("weights", {}, store);
    const Key<std::map<std::int64_t, float>> floatsById("floatsById", {}, store);
    const Key<std::optional<prefs::test::Pose>> pose("pose", store);
    const DisableTime period{std::chrono::system_clock::time_point(std::chrono::seconds(978307200 + 786000000)), 100000,
                             DisableTime::State::time};
    const std::vector<std::vector<double>> embeddings{{0.1, 1e-05, 786000000.0, 100000.0, -0.0, 0.0001, 1e16}};
    const std::map<std::int64_t, double> weightValues{{1, 100000}, {2, 0.0001}, {3, 1e-05}, {4, 1e16}, {5, 786000000.25}};
    const std::map<std::int64_t, float> floatValues{{1, 0.1f}, {2, 100000.0f}};
    const prefs::test::Pose poseValue{786000000, 0.1, -1e-07};
    const std::vector<ImageItem> images{{"a", "file:///p/a.png"}};

    EXPECT_EQ(Prefs::get(Keys::disableTime()), period);
    EXPECT_EQ(Prefs::get(Keys::embeddings()), embeddings);
    EXPECT_EQ(Prefs::get(Keys::facePrecision()), FacePrecision::high);
    EXPECT_EQ(Prefs::get(Keys::inactivityTime()), 100000);
    EXPECT_TRUE(Prefs::get(Keys::onboardingSeen()));
    EXPECT_EQ(Prefs::get(Keys::storedImages()), images);
    EXPECT_EQ(Prefs::get(weights), weightValues);
    EXPECT_EQ(Prefs::get(floatsById), floatValues);
    EXPECT_EQ(Prefs::get(pose), poseValue);

    ASSERT_TRUE(Prefs::set(Keys::disableTime(), std::optional<DisableTime>(period)));
    ASSERT_TRUE(Prefs::set(Keys::embeddings(), embeddings));
    ASSERT_TRUE(Prefs::set(weights, weightValues));
    ASSERT_TRUE(Prefs::set(floatsById, floatValues));
    ASSERT_TRUE(Prefs::set(pose, std::optional<prefs::test::Pose>(poseValue)));
    EXPECT_EQ(fileText(), R"({"formatVersion":1,"values":{)"
              R"("DisableTime":"{\"startDate\":786000000,\"duration\":100000,\"state\":0}",)"
              R"("embeddings":[[0.1,1e-05,7.86e+08,1e+05,-0.0,1e-04,1e+16]],"facePrecision":"{\"high\":{}}",)"
              R"("floatsById":{"1":"0.1","2":"100000"},"inactivityTime":100000,"onboardingSeen.2":true,)"
              R"("pose":"{\"yaw\":786000000,\"roll\":0.1,\"pitch\":-1e-07}","storedImages":["{\"key\":\"a\",\"url\":\"file:\\\/\\\/\\\/p\\\/a.png\"}"],)"
              R"("weights":{"1":"100000","2":"0.0001","3":"1e-05","4":"1e+16","5":"786000000.25"}}})" "\n");
}

TEST_F(KeysTest, strictDecodingLeavesBadStoredValuesAtTheirDefault)
{
    faciward::testing::ExpectStderr undecodable("^faciward: the setting \".*\" in .* does not hold a value of its type; its default is used$");
    auto store = settings.store();
    ASSERT_TRUE(store->setObject("inactivityTime", PlistValue(7.5)));
    EXPECT_EQ(Prefs::get(Keys::inactivityTime()), 6);
    ASSERT_TRUE(store->setObject("inactivityTime", PlistValue(true)));
    EXPECT_EQ(Prefs::get(Keys::inactivityTime()), 1) << "a Boolean is the number 0 or 1";
    ASSERT_TRUE(store->setObject("inactivityTime", PlistValue("12")));
    EXPECT_EQ(Prefs::get(Keys::inactivityTime()), 12);
    ASSERT_TRUE(store->setObject("DisableTime", PlistValue(R"({"startDate":0,"duration":-1,"state":0})")));
    EXPECT_EQ(Prefs::get(Keys::disableTime()), std::nullopt);
    ASSERT_TRUE(store->setObject("DisableTime", PlistValue(R"({"startDate":0,"state":2})")));
    EXPECT_EQ(Prefs::get(Keys::disableTime()), std::nullopt);
    ASSERT_TRUE(store->setObject("facePrecision", PlistValue(R"({"Low":{}})")));
    EXPECT_EQ(Prefs::get(Keys::facePrecision()), FacePrecision::low);
}

TEST_F(KeysTest, aValueThatDoesNotConvertKeepsWhatIsStored)
{
    const std::vector<ImageItem> history{{"a", "file:///p/a.png"}};
    ASSERT_TRUE(Prefs::set(Keys::storedImages(), history));
    ASSERT_TRUE(Prefs::set(Keys::facePrecision(), FacePrecision::high));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(Prefs::set(Keys::disableTime(), std::optional<DisableTime>({newYear2024, -5, DisableTime::State::time})));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "invalidValue: A disable period cannot last -5 minutes. (at [0].duration)\n");
    ASSERT_TRUE(Prefs::set(Keys::disableTime(), std::optional<DisableTime>({newYear2024, 5, DisableTime::State::time})));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(Prefs::set(Keys::disableTime(), std::optional<DisableTime>({newYear2024, -5, DisableTime::State::time})));
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(Prefs::get(Keys::disableTime())->duration, 5) << "the period in force stays";
    restart();
    EXPECT_EQ(Prefs::get(Keys::disableTime())->duration, 5);
    EXPECT_EQ(Prefs::get(Keys::storedImages()), history);
    EXPECT_EQ(Prefs::get(Keys::facePrecision()), FacePrecision::high);
}

} // namespace
} // namespace faciward::settings
