#include "Platform/Files/XdgFolders.h"

#include "Platform/Files/FileReader.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace faciward::platform {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> environment(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    return std::string(value);
}

std::optional<fs::path> absoluteEnvironment(const char *name)
{
    auto value = environment(name);
    if (!value || value->front() != '/')
        return std::nullopt;
    return fs::path(*value);
}

// The documents entry of user-dirs.dirs: XDG_DOCUMENTS_DIR="$HOME/Documents".
std::optional<fs::path> userDirsDocuments(const fs::path &config, const fs::path &home)
{
    std::string text;
    try {
        text = FileReader::read(config / "user-dirs.dirs").bytes;
    } catch (const FileException &) {
        return std::nullopt;
    }
    std::istringstream in(text);
    const std::string prefix = "XDG_DOCUMENTS_DIR=\"";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 1 || line.back() != '"')
            continue;
        std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        fs::path path;
        if (value.rfind("$HOME", 0) == 0)
            path = home.string() + value.substr(5);
        else if (!value.empty() && value.front() == '/')
            path = value;
        else
            continue;
        // An entry that is the home folder itself means "no documents folder".
        if (fs::path(path).lexically_normal() == fs::path(home / "").lexically_normal())
            return std::nullopt;
        return path;
    }
    return std::nullopt;
}

} // namespace

std::optional<fs::path> XdgFolders::home()
{
    if (auto home = environment("HOME"))
        return fs::path(*home);
    // getpwuid_r, not getpwuid: any thread may ask.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        *found->pw_dir)
        return fs::path(found->pw_dir);
    return std::nullopt;
}

std::optional<fs::path> XdgFolders::configHome()
{
    if (auto config = absoluteEnvironment("XDG_CONFIG_HOME"))
        return config;
    if (auto home = XdgFolders::home())
        return *home / ".config";
    return std::nullopt;
}

std::optional<fs::path> XdgFolders::documents()
{
    if (auto documents = absoluteEnvironment("XDG_DOCUMENTS_DIR"))
        return documents;
    const auto home = XdgFolders::home();
    if (!home)
        return std::nullopt;
    if (auto documents = userDirsDocuments(configHome().value_or(*home / ".config"), *home))
        return documents;
    return *home / "Documents";
}

} // namespace faciward::platform
