#include "Guards.h"

#include "ScopedSettingsFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <fcntl.h>
#include <unistd.h>

namespace faciward::testing {

EnvGuard::EnvGuard(std::string name, std::optional<std::string> value)
    : m_name(std::move(name))
{
    if (const char *old = std::getenv(m_name.c_str()))
        m_previous = old;
    if (value)
        ::setenv(m_name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

EnvGuard::~EnvGuard()
{
    if (m_previous)
        ::setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

TempDir::TempDir(const std::string &prefix)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary directory");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(m_path, ignored);
}

TempHome::TempHome()
    : m_dir("faciward-home")
    , m_home("HOME", m_dir.path().string())
    , m_config("XDG_CONFIG_HOME", (m_dir.path() / "config").string())
    , m_documents("XDG_DOCUMENTS_DIR", (m_dir.path() / "Documents").string())
    , m_settings("FACIWARD_SETTINGS_FILE", std::nullopt)
    , m_standardSettings(std::make_unique<ScopedSettingsFile>(settingsFile()))
{
}

TempHome::~TempHome() = default;

// --- standard-error watch -------------------------------------------------

namespace {

struct StderrWatch
{
    std::mutex mutex;
    std::vector<std::regex> patterns;
    std::vector<int> counts;
    int savedFd = -1;
    std::string capturePath;
    int captureFd = -1;
};

StderrWatch &watch()
{
    static StderrWatch w;
    return w;
}

std::vector<std::string> readCapture()
{
    std::fflush(stderr);
    std::vector<std::string> lines;
    std::ifstream in(watch().capturePath);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Sends fd 2 into a file for the length of each test, then checks every line
// against the patterns the test declared and echoes it to the real stderr.
class StderrListener : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo &) override
    {
        auto &w = watch();
        std::fflush(stderr);
        w.capturePath = (std::filesystem::temp_directory_path() /
                         ("faciward-stderr-" + std::to_string(::getpid()) + ".txt"))
                            .string();
        w.captureFd = ::open(w.capturePath.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_APPEND, 0600);
        if (w.captureFd < 0)
            return;
        w.savedFd = ::dup(2);
        ::dup2(w.captureFd, 2);
    }

    void OnTestEnd(const ::testing::TestInfo &) override
    {
        auto &w = watch();
        if (w.captureFd < 0)
            return;
        auto lines = readCapture();
        ::dup2(w.savedFd, 2);
        ::close(w.savedFd);
        ::close(w.captureFd);
        w.captureFd = w.savedFd = -1;
        std::filesystem::remove(w.capturePath);
        std::vector<std::string> unexpected;
        {
            std::lock_guard lock(w.mutex);
            for (const auto &line : lines) {
                std::fprintf(stderr, "%s\n", line.c_str());
                bool ok = false;
                for (const auto &p : w.patterns)
                    ok = ok || std::regex_search(line, p);
                if (!ok)
                    unexpected.push_back(line);
            }
            w.patterns.clear();
            w.counts.clear();
        }
        if (std::getenv("FACIWARD_ALLOW_STDERR"))
            return;
        for (const auto &line : unexpected)
            ADD_FAILURE() << "unexpected line on standard error: " << line;
    }
};

} // namespace

ExpectStderr::ExpectStderr(const std::string &pattern)
{
    auto &w = watch();
    std::lock_guard lock(w.mutex);
    m_index = w.patterns.size();
    w.patterns.emplace_back(pattern);
    w.counts.push_back(0);
}

ExpectStderr::~ExpectStderr() = default;

int ExpectStderr::matched() const
{
    auto lines = stderrLinesSoFar();
    auto &w = watch();
    std::lock_guard lock(w.mutex);
    int n = 0;
    for (const auto &line : lines)
        n += std::regex_search(line, w.patterns.at(m_index)) ? 1 : 0;
    return n;
}

std::vector<std::string> stderrLinesSoFar()
{
    if (watch().captureFd < 0)
        return {};
    return readCapture();
}

void installStderrWatch()
{
    ::testing::UnitTest::GetInstance()->listeners().Append(new StderrListener);
}

} // namespace faciward::testing
