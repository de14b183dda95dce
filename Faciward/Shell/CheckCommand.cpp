// faciward check IMAGE…
// One line per picture, in the order given: "PATH: owner", "PATH: stranger",
// "PATH: no face" or "PATH: error TEXT"; then "verdict: owner present" when the
// owner is in any picture, else "verdict: owner absent". Compares with the
// enrolled embeddings at the stored face precision. Exit code 0 for either
// verdict, 1 when no picture could be read.

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
        return exitFailure;
    manager.setModel(models);

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
    return readable > 0 ? exitSuccess : exitFailure;
}

} // namespace

Command checkCommand()
{
    return {"check", "IMAGE…", run};
}

} // namespace faciward::shell
