#include "Vault/Vault.h"
#include "tests/support/RunTogether.h"

#include <gtest/gtest.h>

#include <vector>

using faciward::vault::Identifier;
using faciward::vault::Vault;

TEST(Identifier, emptyTextGivesNoneAndOtherTextsAreKept)
{
    EXPECT_FALSE(Identifier::nonEmpty("").has_value());
    auto id = Identifier::nonEmpty("Faciward");
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(id->value(), "Faciward");
    EXPECT_EQ(Identifier::nonEmpty(" ")->value(), " ");
}

TEST(Vault, samePairGivesTheCachedVaultOtherIdentifiersANewOne)
{
    const auto faciward = *Identifier::nonEmpty("Faciward.test.cache");
    auto first = Vault::vault(faciward, Vault::Accessibility::whenUnlocked);
    auto second = Vault::vault(*Identifier::nonEmpty("Faciward.test.cache"), Vault::Accessibility::whenUnlocked);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->identifier(), faciward);
    EXPECT_EQ(first->accessibility(), Vault::Accessibility::whenUnlocked);
    EXPECT_EQ(static_cast<int>(first->accessibility()), 1);

    auto other = Vault::vault(*Identifier::nonEmpty("Faciward.test.other"), Vault::Accessibility::whenUnlocked);
    EXPECT_NE(other, first);
    EXPECT_EQ(other->identifier().value(), "Faciward.test.other");
}

TEST(Vault, concurrentFirstRequestsAgreeOnOneVault)
{
    constexpr int threads = 8;
    const auto id = *Identifier::nonEmpty("Faciward.test.race");
    std::vector<std::shared_ptr<Vault>> seen(threads);
    faciward::testing::runTogether(threads, [&](int i) { seen[i] = Vault::vault(id, Vault::Accessibility::whenUnlocked); });
    for (const auto &v : seen)
        EXPECT_EQ(v, seen.front());
}
