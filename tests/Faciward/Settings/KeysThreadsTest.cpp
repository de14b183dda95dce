#include "Faciward/Settings/Keys.h"
#include "SettingsStore/Prefs.h"
#include "tests/support/RunTogether.h"
#include "tests/support/ScopedSettingsFile.h"

#include <gtest/gtest.h>


namespace faciward::settings {
namespace {

using prefs::Prefs;

TEST(KeysThreads, firstUseFromManyThreadsAndConcurrentAppendsLoseNothing)
{
    faciward::testing::ScopedSettingsFile settings;
    constexpr int threads = 8;
    constexpr int appends = 25;
    std::vector<const void *> seen(threads);
    faciward::testing::runTogether(threads, [&](int t) {
        // Every thread touches the keys for the first time together.
        seen[t] = &Keys::storedImages();
        EXPECT_EQ(Prefs::get(Keys::facePrecision()), FacePrecision::low);
        EXPECT_TRUE(Prefs::get(Keys::embeddings()).empty());
        for (int i = 0; i < appends; ++i) {
            const bool ok = Prefs::update(Keys::storedImages(), [&](std::vector<ImageItem> &items) {
                items.push_back({std::to_string(t) + "-" + std::to_string(i), "file:///p.png"});
            });
            EXPECT_TRUE(ok);
        }
    });
    for (const void *key : seen)
        EXPECT_EQ(key, seen.front()) << "one key object for all threads";
    EXPECT_EQ(Prefs::get(Keys::storedImages()).size(), static_cast<std::size_t>(threads * appends));

    settings.store()->relocate(settings.path()); // a restart
    const auto items = Prefs::get(Keys::storedImages());
    std::set<std::string> keys;
    for (const auto &item : items)
        keys.insert(item.key);
    EXPECT_EQ(keys.size(), static_cast<std::size_t>(threads * appends));
}

} // namespace
} // namespace faciward::settings
