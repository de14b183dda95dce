#include "Helpers/Popover/GlobalMouseSourceChooser.h"
#include "tests/support/FakeMouseSource.h"
#include "tests/support/Guards.h"
#include "tests/support/WidgetApplication.h"

#include <gtest/gtest.h>

namespace faciward::helpers {
namespace {

using Candidate = GlobalMouseSourceChooser::Candidate;

Candidate unavailable(std::string description)
{
    return {std::move(description), [] { return std::shared_ptr<GlobalMouseSource>(); }};
}

// The first candidate that can be made wins, in the list's order, and is named
// once; when none can, the application turning inactive stands in and the line
// says what was missing. The offscreen platform offers no candidate at all.
TEST(GlobalMouseSourceChooserTest, theFirstThatCanBeMadeWinsAndIsNamedOnce)
{
    testing::widgetApplication();
    auto fake = std::make_shared<testing::FakeMouseSource>();
    const Candidate fakeCandidate{"a fake", [fake] { return fake; }};
    const struct
    {
        const char *name;
        std::vector<Candidate> candidates;
        std::string chosen, line;
    } table[] = {
        {"none", {}, "the application turning inactive",
         "^faciward: outside clicks: using the application turning inactive$"},
        {"none can be made", {unavailable("no X"), unavailable("no Y")}, "the application turning inactive",
         "^faciward: outside clicks: using the application turning inactive \\(no X; no Y\\)$"},
        {"the first that can", {unavailable("no X"), fakeCandidate, unavailable("never asked")}, "fake",
         "^faciward: outside clicks: using fake$"},
        {"offscreen", GlobalMouseSourceChooser::systemCandidates(), "the application turning inactive",
         "^faciward: outside clicks: using the application turning inactive$"},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row.name);
        testing::ExpectStderr line(row.line);
        const int before = line.matched(); // an earlier row may have printed the same line
        const std::shared_ptr<GlobalMouseSource> source = GlobalMouseSourceChooser::choose(row.candidates);
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->name(), row.chosen);
        EXPECT_EQ(line.matched() - before, 1);
    }
}

} // namespace
} // namespace faciward::helpers
