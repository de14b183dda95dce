// faciward check IMAGE…
// One line per picture, in the order given: "PATH: owner", "PATH: stranger",
// "PATH: no face" or "PATH: error TEXT"; then "verdict: owner present" when the
// owner is in any picture, else "verdict: owner absent". Compares with the
// enrolled embeddings at the stored face precision. The exit code says the
// verdict too, as grep's does: 0 present, 1 absent; 3 when no picture could be
// read or the models could not be loaded.

#include "Faciward/Presence/Recognition/RecognizerManager.h"
#include "Faciward/Shell/Command.h"
#include "Faciward/Shell/PictureFile.h"

#include <cstdio>
#include <optional>

namespace faciward::shell {

namespace {

// Pictures are decoded a few at a time, so that a long list does not hold
// every picture in memory at once.
constexpr std::size_t batchSize = 8;

std::string describe(const presence::RecognizerManager::FrameCheck &check)
{
    using Outcome = presence::RecognizerManager::FrameCheck::Outcome;
    switch (check.outcome) {
    case Outcome::owner:
        return "owner";
    case Outcome::stranger:
        return "stranger";
    case Outcome::noFace:
        return "no face";
    case Outcome::failed:
        break;
    }
    return "error " + check.error;
}

int run(const std::vector<std::string> &arguments)
{
    if (arguments.empty())
        return exitUsage;
    presence::RecognizerManager manager;
    const auto models = loadModelsOrComplain();
    if (!models)
        return exitCheckFailed;
    manager.setModel(models);
    complainIfNobodyCanBeTheOwner();

    std::size_t readable = 0;
    bool ownerPresent = false;
    for (std::size_t start = 0; start < arguments.size(); start += batchSize) {
        const std::size_t end = std::min(arguments.size(), start + batchSize);
        std::vector<PictureFile> pictures;
        std::vector<platform::Image> frames;
        for (std::size_t i = start; i < end; ++i) {
            pictures.emplace_back(arguments[i]);
            if (pictures.back().isReadable())
                frames.push_back(pictures.back().image());
        }
        const auto checks = manager.check(frames);
        std::size_t next = 0;
        for (const auto &picture : pictures) {
            if (!picture.isReadable()) {
                std::printf("%s: error %s\n", printable(picture.path()).c_str(), picture.error().c_str());
                continue;
            }
            const auto &check = checks[next++];
            ++readable;
            ownerPresent = ownerPresent ||
                           check.outcome == presence::RecognizerManager::FrameCheck::Outcome::owner;
            std::printf("%s: %s\n", printable(picture.path()).c_str(), describe(check).c_str());
        }
        std::fflush(stdout);
    }
    std::printf("verdict: owner %s\n", ownerPresent ? "present" : "absent");
    if (readable == 0)
        return exitCheckFailed;
    return ownerPresent ? exitSuccess : exitOwnerAbsent;
}

constexpr std::string_view details =
    "Prints one line per picture, in the order given: \"PATH: owner\", \"PATH: stranger\",\n"
    "\"PATH: no face\" or \"PATH: error WHY\"; then \"verdict: owner present\" or\n"
    "\"verdict: owner absent\". A picture shows the owner when one of its faces matches\n"
    "an enrolled embedding at the stored \"facePrecision\".\n"
    "\n"
    "Exit codes: 0 the owner is present, 1 absent, 2 a wrong command line,\n"
    "3 no picture could be read, the models could not be loaded, or standard output\n"
    "could not be written.\n";

} // namespace

Command checkCommand()
{
    return {"check", "IMAGE…", "whether the owner is in each picture, and the verdict", details, run, exitCheckFailed};
}

} // namespace faciward::shell
