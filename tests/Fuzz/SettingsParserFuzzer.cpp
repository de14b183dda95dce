// Feeds arbitrary bytes to the parsers of stored settings: the settings file's
// loader and the JSON coder, with the strict readers and the bracket-wrapping
// read of the JSON bridges, and the readers of archived colours, addresses and
// identifiers. Each input must either parse or fail with a
// JsonException (or read as nothing); anything else escaping is a finding, and
// so is a value that does not read back identical after writing it out.
#include "Platform/Settings/Json.h"
#include "Platform/Settings/JsonCoding.h"
#include "Platform/Settings/SettingsFile.h"
#include "SettingsStore/PrefsCodableBridge.h"
#include "SettingsStore/QtBridges/ColorBridge.h"
#include "SettingsStore/QtBridges/URLBridge.h"
#include "SettingsStore/QtBridges/UUIDBridge.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace faciward::platform;

[[noreturn]] void finding(const char *what)
{
    std::fprintf(stderr, "settings_parser_fuzzer: %s\n", what);
    std::abort();
}

void loadSettingsFile(std::string_view text)
{
    SettingsFile::Values values;
    try {
        values = SettingsFile::parse(text);
    } catch (const JsonException &) {
        return;
    }
    const auto again = SettingsFile::parse(SettingsFile::serialize(values));
    if (again.size() != values.size())
        finding("the settings file lost entries when written and read again");
    for (const auto &[key, value] : values) {
        const auto found = again.find(key);
        if (found == again.end() || !found->second->isIdentical(*value))
            finding("a setting changed when written and read again");
    }
}

template<class T>
void readStrictly(const Json::Value &json)
{
    try {
        (void)JsonCoding<T>::decode(json);
    } catch (const JsonException &) {
    }
}

void codeJson(std::string_view text)
{
    (void)faciward::prefs::PrefsCodableBridge<std::vector<std::int64_t>>{}.deserialize(std::string(text));
    (void)faciward::prefs::PrefsCodableBridge<std::map<std::string, double>>{}.deserialize(std::string(text));
    Json::Value json;
    try {
        json = Json::decode(text);
    } catch (const JsonException &) {
        return;
    }
    readStrictly<std::vector<std::uint64_t>>(json);
    readStrictly<std::map<std::string, std::optional<float>>>(json);
    readStrictly<std::vector<PlistData>>(json);
    std::string encoded;
    try {
        encoded = Json::encode(json);
    } catch (const JsonException &) {
        return; // too deep, or a number beyond the range of a double
    }
    if (Json::decode(encoded) != json)
        finding("a JSON value changed when written and read again");
}

} // namespace

// The bridges print why data is no archive, on standard output; the fuzzer's
// own report is on standard error.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    loadSettingsFile(text);
    codeJson(text);
    (void)faciward::prefs::ColorBridge{}.deserialize(PlistData(data, data + size));
    (void)faciward::prefs::URLBridge{}.deserialize(std::string(text));
    (void)faciward::prefs::UUIDBridge{}.deserialize(std::string(text));
    return 0;
}
