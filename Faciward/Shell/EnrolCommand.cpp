// faciward enrol IMAGE…
// Replaces the enrolled embeddings ("embeddings") with the embedding of the
// face in each picture and prints "enrolled N embeddings from M pictures",
// followed by ", replacing the earlier enrolment of K embeddings" when there
// was one. A picture that cannot be read, shows no face or shows more than
// one face gets a line on standard error, gives nothing, and the others go on.
// When no picture gives an embedding, the enrolled embeddings are left as they
// were and the exit code is 1: enrolling nothing would lock the owner out.

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
    presence::RecognizerManager manager;
    const auto models = loadModelsOrComplain();
    if (!models)
        return exitFailure;
    manager.setModel(models);

    // One picture at a time, so that memory does not grow with their number.
    std::vector<std::vector<double>> embeddings;
    std::size_t readable = 0;
    for (const auto &path : arguments) {
        const PictureFile picture(path);
        if (!picture.isReadable()) {
            complain(path + ": " + picture.error());
            continue;
        }
        ++readable;
        auto faces = manager.embeddings({picture.image()});
        if (faces.empty()) {
            complain(path + ": no face");
        } else if (faces.size() > 1) {
            // Whoever stands beside the owner would be let in from then on.
            complain(path + ": " + counted(faces.size(), "face") +
                     ", and a picture to enrol must show the owner alone; nothing is taken from it");
        } else {
            embeddings.push_back(std::move(faces.front()));
        }
    }
    if (embeddings.empty()) {
        complain(readable == 0 ? "no picture could be read; the enrolled embeddings are unchanged"
                               : "no picture shows one face; the enrolled embeddings are unchanged");
        return exitFailure;
    }

    const std::size_t earlier = prefs::Prefs::get(settings::Keys::embeddings()).size();
    if (!prefs::Prefs::set(settings::Keys::embeddings(), embeddings)) {
        complain("the embeddings could not be saved in the settings");
        return exitFailure;
    }
    std::printf("enrolled %s from %s%s\n", counted(embeddings.size(), "embedding").c_str(),
                counted(embeddings.size(), "picture").c_str(),
                earlier == 0 ? "" : (", replacing the earlier enrolment of " + counted(earlier, "embedding")).c_str());
    return exitSuccess;
}

constexpr std::string_view details =
    "Stores the embedding of the face in each picture as the owner's, under \"embeddings\"\n"
    "in the settings, in place of the earlier enrolment. Each picture must show the owner\n"
    "alone: a picture without a face or with several is left out, with a line on standard\n"
    "error. Pictures are read as JPEG or PNG, turned upright by their orientation tag.\n"
    "\n"
    "Exit codes: 0 enrolled, 1 nothing enrolled (the earlier enrolment stays as it was),\n"
    "2 a wrong command line.\n";

} // namespace

Command enrolCommand()
{
    return {"enrol", "IMAGE…", "stores the embedding of the owner's face in each picture", details, run};
}

} // namespace faciward::shell
