#include "Platform/Settings/Json.h"
#include "Platform/Settings/JsonCoding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace faciward::platform {
namespace {

Json::Value parse(const char *text)
{
    return Json::decode(text);
}

template<class F>
JsonError errorOf(F &&f)
{
    try {
        f();
    } catch (const JsonException &e) {
        return e.error();
    }
    ADD_FAILURE() << "no JsonException";
    return JsonError::invalidValue;
}

TEST(Json, refusesNonFiniteNumbersNamingWhereTheyAre)
{
    Json::Value value = Json::Value::array();
    value.push_back(Json::Value::object());
    value[0]["yaw"] = std::numeric_limits<double>::quiet_NaN();
    try {
        Json::encode(value);
        FAIL() << "NaN was encoded";
    } catch (const JsonException &e) {
        EXPECT_EQ(e.error(), JsonError::invalidValue);
        EXPECT_EQ(e.codingPath(), "[0].yaw");
        EXPECT_NE(std::string(e.what()).find("nan"), std::string::npos);
    }
    EXPECT_EQ(errorOf([] { Json::encode(Json::Value(std::numeric_limits<double>::infinity())); }),
              JsonError::invalidValue);
}

TEST(Json, writesNumbersAsThePlatformsEncoderDoesAndReadsEitherNotation)
{
    const struct
    {
        Json::Value number;
        const char *written;
    } rows[] = {
        {786000000.0, "786000000"},
        {100000.0, "100000"},
        {1.0, "1"},
        {-0.0, "-0"},
        {0.0001, "0.0001"},
        {0.1, "0.1"},
        {786000000.25, "786000000.25"},
        {0x1p53, "9007199254740992"},
        {0x1p53 + 2, "9.007199254740994e+15"},
        {1e16, "1e+16"},
        {9.9e-05, "9.9e-05"},
        {-0.0001, "-0.0001"},
        {std::nextafter(0.0001, 0.0), "9.999999999999999e-05"}, // the double just below the switch
        {1e-05, "1e-05"},
        {-1e-07, "-1e-07"},
        {JsonCoding<float>::encode(0.1f), "0.1"},
        {JsonCoding<float>::encode(16777217.0f), "16777216"},
        {JsonCoding<float>::encode(1e-05f), "1e-05"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.written);
        EXPECT_EQ(Json::encode(row.number), row.written);
        EXPECT_EQ(Json::number(Json::decode(row.written)), row.number.get<double>()) << "reads back the same";
    }
    // Texts written in exponent notation before still read.
    EXPECT_EQ(Json::number(parse("7.86e+08")), 786000000.0);
    EXPECT_EQ(Json::int64(parse("1e+05")), 100000);
    EXPECT_EQ(Json::number(parse("1e-04")), 0.0001);
    EXPECT_EQ(JsonCoding<float>::decode(parse("0.10000000149011612")), 0.1f);
}

TEST(Json, refusesTextThatIsNotUtf8)
{
    for (const char *bad : {"\xff", "a\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe0\x80\xaf"}) {
        EXPECT_EQ(errorOf([&] { Json::encode(Json::Value(std::string(bad))); }), JsonError::invalidValue)
            << "accepted " << bad;
    }
    Json::Value object = Json::Value::object();
    object["bad\xff"] = 1;
    EXPECT_EQ(errorOf([&] { Json::encode(object); }), JsonError::invalidValue);
    EXPECT_EQ(errorOf([] { Json::decode("\"\xff\""); }), JsonError::dataCorrupted);
}

TEST(Json, refusesNestingDeeperThanItsLimit)
{
    Json::Value deep = Json::Value::array();
    for (int i = 0; i < Json::maxDepth + 1; ++i)
        deep = Json::Value::array({deep});
    EXPECT_EQ(errorOf([&] { Json::encode(deep); }), JsonError::invalidValue);
}

TEST(Json, decodingRefusesWhatIsNotJson)
{
    for (const char *bad : {"", "{", "[1,]", "nul", "{'a':1}", "[1] x", "/* c */ 1", "NaN"})
        EXPECT_EQ(errorOf([&] { Json::decode(bad); }), JsonError::dataCorrupted) << bad;
}

TEST(Json, integerReadersAreStrict)
{
    EXPECT_EQ(Json::int64(parse("7")), 7);
    EXPECT_EQ(Json::int64(parse("-7")), -7);
    EXPECT_EQ(Json::int64(parse("7.0")), 7);
    EXPECT_EQ(Json::int64(parse("9223372036854775807")), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(errorOf([] { Json::int64(parse("7.5")); }), JsonError::dataCorrupted);
    EXPECT_EQ(errorOf([] { Json::int64(parse("true")); }), JsonError::typeMismatch);
    EXPECT_EQ(errorOf([] { Json::int64(parse("\"7\"")); }), JsonError::typeMismatch);
    EXPECT_EQ(errorOf([] { Json::int64(parse("null")); }), JsonError::valueNotFound);
    EXPECT_EQ(errorOf([] { Json::int64(parse("9223372036854775808")); }), JsonError::dataCorrupted);
    EXPECT_EQ(errorOf([] { Json::int64(parse("1e300")); }), JsonError::dataCorrupted);

    EXPECT_EQ(Json::uint64(parse("18446744073709551615")), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(Json::uint64(parse("0")), 0u);
    EXPECT_EQ(errorOf([] { Json::uint64(parse("-1")); }), JsonError::dataCorrupted);
    EXPECT_EQ(errorOf([] { Json::uint64(parse("7.5")); }), JsonError::dataCorrupted);
    EXPECT_EQ(errorOf([] { Json::uint64(parse("true")); }), JsonError::typeMismatch);

    EXPECT_EQ(JsonCoding<std::int32_t>::decode(parse("2147483647")), 2147483647);
    EXPECT_EQ(errorOf([] { JsonCoding<std::int32_t>::decode(parse("2147483648")); }), JsonError::dataCorrupted);
    EXPECT_EQ(errorOf([] { JsonCoding<std::uint8_t>::decode(parse("256")); }), JsonError::dataCorrupted);
}

TEST(Json, otherReadersAreStrict)
{
    EXPECT_TRUE(Json::boolean(parse("true")));
    EXPECT_EQ(errorOf([] { Json::boolean(parse("1")); }), JsonError::typeMismatch);
    EXPECT_EQ(Json::number(parse("7")), 7.0);
    EXPECT_EQ(errorOf([] { Json::number(parse("\"7\"")); }), JsonError::typeMismatch);
    EXPECT_EQ(errorOf([] { Json::number(parse("1e400")); }), JsonError::dataCorrupted);
    EXPECT_EQ(errorOf([] { JsonCoding<float>::decode(parse("1e300")); }), JsonError::dataCorrupted);
    EXPECT_EQ(errorOf([] { Json::string(parse("7")); }), JsonError::typeMismatch);
    EXPECT_EQ(errorOf([] { Json::member(parse("{}"), "a"); }), JsonError::keyNotFound);
    EXPECT_EQ(Json::optionalMember(parse(R"({"a":null})"), "a"), nullptr);
    EXPECT_EQ(errorOf([] { Json::member(parse("[]"), "a"); }), JsonError::typeMismatch);
}

TEST(Json, decodingErrorsOfNestedValuesNameTheirPath)
{
    try {
        JsonCoding<std::vector<std::map<std::string, int>>>::decode(parse(R"([{"a":1},{"b":true}])"));
        FAIL();
    } catch (const JsonException &e) {
        EXPECT_EQ(e.error(), JsonError::typeMismatch);
        EXPECT_EQ(e.codingPath(), "[1].b");
    }
}

TEST(Json, base64IsCanonicalBothWays)
{
    for (std::size_t length = 0; length < 7; ++length) {
        PlistData data;
        for (std::size_t i = 0; i < length; ++i)
            data.push_back(static_cast<std::uint8_t>(0xA0 + i * 37));
        const auto text = Json::base64Encode(data);
        EXPECT_EQ(text.size() % 4, 0u);
        EXPECT_EQ(Json::base64Decode(text), data);
    }
    EXPECT_EQ(Json::base64Encode({'f', 'o', 'o', 'b', 'a'}), "Zm9vYmE=");
    for (const char *bad : {"Zm9", "Zm9vYm=E", "Zm9v!mE=", "Zm9vYmF=", "=Zm9", "Zg==Zg=="})
        EXPECT_FALSE(Json::base64Decode(bad)) << bad;
}

} // namespace
} // namespace faciward::platform
