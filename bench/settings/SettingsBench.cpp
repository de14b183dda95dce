// Times one write of "embeddings" holding 10 embeddings of 512 numbers, from the
// call until the file is replaced on disk, and one read of it back into
// numbers. Prints one JSON object per line.
//
// The store lives in a fresh folder under $TMPDIR (or /tmp), removed at the end;
// FACIWARD_BENCH_DIR chooses another parent folder, e.g. one on the disk that
// will hold the real settings.

#include "Faciward/Settings/Keys.h"
#include "Platform/Settings/SettingsStore.h"
#include "SettingsStore/Prefs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace faciward;
using Clock = std::chrono::steady_clock;

void report(const char *metric, double value, const char *unit)
{
    std::printf("{\"bench\":\"settings\",\"metric\":\"%s\",\"value\":%.3f,\"unit\":\"%s\"}\n", metric, value, unit);
}

double quantile(std::vector<double> samples, double q)
{
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))];
}

std::vector<std::vector<double>> randomEmbeddings(std::mt19937_64 &random)
{
    std::uniform_real_distribution<double> number(-1.0, 1.0);
    std::vector<std::vector<double>> embeddings(10, std::vector<double>(512));
    for (auto &embedding : embeddings)
        for (double &x : embedding)
            x = number(random);
    return embeddings;
}

} // namespace

int main()
{
    const char *parent = std::getenv("FACIWARD_BENCH_DIR");
    std::string pattern = (std::filesystem::path(parent ? parent : std::filesystem::temp_directory_path().c_str()) /
                           "faciward-bench-XXXXXX")
                              .string();
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "bench/settings: cannot create a folder under %s\n", pattern.c_str());
        return 1;
    }
    const std::filesystem::path folder = pattern;
    const auto file = folder / "faciward" / "settings.json";
    ::setenv("FACIWARD_SETTINGS_FILE", file.c_str(), 1);
    platform::SettingsStore::standard()->relocate(file);

    const auto &key = settings::Keys::embeddings();
    std::mt19937_64 random(42);
    constexpr int rounds = 60;
    constexpr int warmUp = 5;
    std::vector<double> writes;
    std::vector<double> reads;
    std::size_t checksum = 0;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        const auto embeddings = randomEmbeddings(random);
        const auto writeStart = Clock::now();
        ok = prefs::Prefs::set(key, embeddings) && ok;
        const auto writeEnd = Clock::now();
        const auto read = prefs::Prefs::get(key);
        const auto readEnd = Clock::now();
        ok = ok && read == embeddings;
        checksum += read.size();
        if (round < warmUp)
            continue;
        writes.push_back(std::chrono::duration<double, std::milli>(writeEnd - writeStart).count());
        reads.push_back(std::chrono::duration<double, std::micro>(readEnd - writeEnd).count());
    }
    const auto fileSize = std::filesystem::file_size(file);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (!ok || checksum != rounds * 10u) {
        std::fprintf(stderr, "bench/settings: the embeddings did not read back as written\n");
        return 1;
    }
    report("embeddings_write_ms_median", quantile(writes, 0.5), "ms");
    report("embeddings_write_ms_p95", quantile(writes, 0.95), "ms");
    report("embeddings_read_us_median", quantile(reads, 0.5), "us");
    report("embeddings_read_us_p95", quantile(reads, 0.95), "us");
    report("settings_file_bytes", static_cast<double>(fileSize), "bytes");
    return 0;
}
