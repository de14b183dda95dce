// A second process for the tests: writes one settings key and exits.
//
//   prefs_settings_writer FILE KEY VALUE
//
// VALUE is "true" or "false" for a Bool key, else a whole number. Exit status 0
// when the value was stored, 1 when it could not be, 2 on bad arguments.
#include "SettingsStore/Key.h"
#include "SettingsStore/Prefs.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>

using namespace faciward;

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILE KEY VALUE\n", argv[0]);
        return 2;
    }
    auto store = std::make_shared<platform::SettingsStore>(argv[1]);
    const std::string name = argv[2];
    const std::string value = argv[3];
    if (value == "true" || value == "false") {
        const prefs::Key<bool> key(name, false, store);
        return prefs::Prefs::set(key, value == "true") ? 0 : 1;
    }
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size()) {
        std::fprintf(stderr, "%s: not a Bool nor a whole number: %s\n", argv[0], value.c_str());
        return 2;
    }
    const prefs::Key<std::int64_t> key(name, 0, store);
    return prefs::Prefs::set(key, number) ? 0 : 1;
}
