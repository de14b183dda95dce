// faciward enrol IMAGE…
// Replaces the enrolled embeddings ("embeddings") with those of every face in
// the pictures and prints "enrolled N embeddings from M pictures", M being the
// pictures that could be read. A picture that cannot be read gets a line on
// standard error and the others go on. When no picture can be read, or no face
// is found in any, the enrolled embeddings are left as they were and the exit
// code is 1: enrolling nothing would lock the owner out.

#include "Faciward/Presence/Recognition/RecognizerManager.h"
#include "Faciward/Settings/Keys.h"
#include "Faciward/Shell/Command.h"
#include "Faciward/Shell/PictureFile.h"
#include "SettingsStore/Prefs.h"

#include <cstdio>

namespace faciward::shell {

namespace {

int run(const std::vector<std::string> &arguments)
{
    if (arguments.empty())
        return exitUsage;
    std::vector<platform::Image> frames;
    for (const auto &path : arguments) {
        const PictureFile picture(path);
        if (picture.isReadable())
            frames.push_back(picture.image());
        else
            complain(path + ": " + picture.error());
    }
    if (frames.empty()) {
        complain("no picture could be read; the enrolled embeddings are unchanged");
        return exitFailure;
    }

    presence::RecognizerManager manager;
    const auto models = loadModelsOrComplain();
    if (!models)
        return exitFailure;
    manager.setModel(models);
    const auto embeddings = manager.embeddings(frames);
    if (embeddings.empty()) {
        complain("no face found in the pictures; the enrolled embeddings are unchanged");
        return exitFailure;
    }
    if (!prefs::Prefs::set(settings::Keys::embeddings(), embeddings)) {
        complain("the embeddings could not be saved in the settings");
        return exitFailure;
    }
    std::printf("enrolled %zu embeddings from %zu pictures\n", embeddings.size(), frames.size());
    return exitSuccess;
}

} // namespace

Command enrolCommand()
{
    return {"enrol", "IMAGE…", run};
}

} // namespace faciward::shell
