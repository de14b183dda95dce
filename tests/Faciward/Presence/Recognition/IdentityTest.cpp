// The identity regression on the real models, as a user would meet it: each
// person's first three pictures (in file-name order) are enrolled through the
// settings, and every other picture checked at the default precision.

#include "Faciward/Presence/Recognition/RecognizerManager.h"
#include "Faciward/Settings/Keys.h"
#include "SettingsStore/Prefs.h"
#include "bench/recognition/DevelopmentSet.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/ScopedSettingsFile.h"

#include <gtest/gtest.h>

namespace ft = faciward::testing;
using faciward::presence::RecognizerManager;
using faciward::prefs::Prefs;
namespace Keys = faciward::settings::Keys;
using Outcome = RecognizerManager::FrameCheck::Outcome;

TEST(Identity, enrolThreeCheckTheRestAtTheDefaultPrecision)
{
    ft::ScopedSettingsFile settings;
    const auto people = faciward::devdata::identitySet(ft::developmentData());
    ASSERT_EQ(people.size(), 5u);

    // Every picture read once; the checks below reuse them.
    std::vector<std::vector<faciward::platform::Image>> pictures;
    for (const auto &person : people) {
        ASSERT_EQ(person.pictures.size(), 11u) << person.name;
        pictures.emplace_back();
        for (const auto &path : person.pictures)
            pictures.back().push_back(cv::imread(path.string()));
    }

    RecognizerManager manager;
    manager.setModel(ft::sharedFaceModels());
    int ownersMissed = 0, strangersLetIn = 0, checks = 0;
    for (std::size_t p = 0; p < people.size(); ++p) {
        const std::vector<faciward::platform::Image> enrolment(pictures[p].begin(), pictures[p].begin() + 3);
        const auto enrolled = manager.embeddings(enrolment);
        ASSERT_EQ(enrolled.size(), 3u) << people[p].name;
        ASSERT_TRUE(Prefs::set(Keys::embeddings(), enrolled));

        for (std::size_t q = 0; q < people.size(); ++q) {
            const std::vector<faciward::platform::Image> probes(pictures[q].begin() + (q == p ? 3 : 0),
                                                                 pictures[q].end());
            const auto results = manager.check(probes);
            for (std::size_t i = 0; i < results.size(); ++i) {
                ++checks;
                const Outcome expected = q == p ? Outcome::owner : Outcome::stranger;
                if (results[i].outcome != expected) {
                    (q == p ? ownersMissed : strangersLetIn) += 1;
                    ADD_FAILURE() << people[q].name << " picture " << (i + (q == p ? 3 : 0)) << " against "
                                  << people[p].name << "'s enrolment";
                }
            }
        }
    }
    EXPECT_EQ(checks, 5 * (8 + 4 * 11));
    EXPECT_EQ(ownersMissed, 0);
    EXPECT_EQ(strangersLetIn, 0);
}
