#include "Faciward/Presence/Recognition/RecognizerManager.h"
#include "Faciward/Presence/Recognition/Similarity.h"
#include "Faciward/Settings/Keys.h"
#include "Platform/Settings/Json.h"
#include "SettingsStore/Prefs.h"
#include "bench/recognition/DevelopmentSet.h"
#include "tests/Faciward/Shell/FaciwardProcess.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/CaptureSamples.h"
#include "tests/support/Guards.h"
#include "tests/support/ScopedSettingsFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace ft = faciward::testing;
using faciward::platform::Json;
using faciward::prefs::Prefs;
namespace Keys = faciward::settings::Keys;

namespace {

using Outcome = ft::FaciwardOutcome;
using ft::lines;
using ft::runFaciward;

std::string picture(const std::string &relative)
{
    return (ft::developmentData() / relative).string();
}

const std::string simm = "johns/John_Simm/";
const std::vector<std::string> simmPictures{
    "000288_00470387.jpg", "000297_00470170.jpg", "000300_00470148.jpg", "000304_00470122.jpg",
    "000305_00470162.jpg", "000305_00470717.jpg", "000306_00470222.jpg", "000306_00470223.jpg",
    "000309_00470287.jpg", "000310_00470421.jpg", "000310_00470511.jpg",
};

std::vector<std::string> simmEnrolment()
{
    return {picture(simm + simmPictures[0]), picture(simm + simmPictures[1]), picture(simm + simmPictures[2])};
}

class RunnerTest : public ::testing::Test
{
protected:
    ft::ScopedSettingsFile settings; // FACIWARD_SETTINGS_FILE for the children
    ft::TempDir files;

    std::string write(const std::string &name, const std::string &content)
    {
        std::ofstream(files / name, std::ios::binary) << content;
        return (files / name).string();
    }

    std::string blankPicture()
    {
        const auto path = (files / "blank.png").string();
        cv::imwrite(path, cv::Mat(240, 320, CV_8UC3, cv::Scalar::all(128)));
        return path;
    }

    // The stored "embeddings", read from the settings file the runner wrote.
    std::vector<std::vector<double>> storedEmbeddings()
    {
        settings.store()->reload();
        return Prefs::get(Keys::embeddings());
    }
};

} // namespace

TEST_F(RunnerTest, usageErrorsExitWithTwo)
{
    for (const auto &arguments : std::vector<std::vector<std::string>>{{},
                                                                       {"frobnicate"},
                                                                       {"faces"},
                                                                       {"faces", "a.png", "b.png"},
                                                                       {"enrol"},
                                                                       {"check"},
                                                                       {"run", "--camera"},
                                                                       {"run", "--once", "--once"},
                                                                       {"run", "--camera", "a", "--camera", "b"},
                                                                       {"run", "--assume-idle", "extra"},
                                                                       {"run", "--camera", "--assume-idle"},
                                                                       {"help", "frobnicate"},
                                                                       {"run", "--verbose"}}) {
        const Outcome run = runFaciward(arguments);
        EXPECT_EQ(run.code, 2) << ::testing::PrintToString(arguments);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: faciward"), std::string::npos) << run.err;
    }
    EXPECT_EQ(lines(runFaciward({}).err),
              (std::vector<std::string>{"usage: faciward faces IMAGE", "usage: faciward enrol IMAGE…",
                                        "usage: faciward check IMAGE…",
                                        "usage: faciward run [--camera DEVICE|VIDEO|FOLDER] [--assume-idle] [--once]"}));
    EXPECT_EQ(lines(runFaciward({"frobnicate"}).err).front(), "faciward: unknown command \"frobnicate\"");
    EXPECT_EQ(lines(runFaciward({"run", "--verbose"}).err),
              (std::vector<std::string>{"faciward: unknown argument \"--verbose\"",
                                        "usage: faciward run [--camera DEVICE|VIDEO|FOLDER] [--assume-idle] [--once]"}));
}

TEST_F(RunnerTest, helpAndVersionGoToStandardOutputWithZero)
{
    const std::map<std::string, std::string> usage{
        {"faces", "usage: faciward faces IMAGE"},
        {"enrol", "usage: faciward enrol IMAGE…"},
        {"check", "usage: faciward check IMAGE…"},
        {"run", "usage: faciward run [--camera DEVICE|VIDEO|FOLDER] [--assume-idle] [--once]"},
    };
    std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--help"}, usage.at("faces")},
        {{"-h"}, usage.at("faces")},
        {{"help"}, usage.at("faces")},
        {{"--version"}, "faciward " FACIWARD_VERSION},
        // Help wins wherever it stands before "--", even after a picture's name.
        {{"check", "some.jpg", "--help"}, usage.at("check")},
        {{"run", "--once", "-h"}, usage.at("run")},
    };
    for (const auto &[command, line] : usage)
        for (const auto &asked : std::vector<std::vector<std::string>>{{command, "--help"}, {command, "-h"}, {"help", command}})
            cases.emplace_back(asked, line);
    for (const auto &[arguments, firstLine] : cases) {
        const Outcome run = runFaciward(arguments);
        EXPECT_EQ(run.code, 0) << ::testing::PrintToString(arguments);
        EXPECT_EQ(run.err, "") << ::testing::PrintToString(arguments);
        ASSERT_FALSE(run.out.empty()) << ::testing::PrintToString(arguments);
        EXPECT_EQ(lines(run.out).front(), firstLine) << ::testing::PrintToString(arguments);
    }
    // After "--", "-h" is a picture's name.
    const Outcome picture = runFaciward({"check", "--", "-h"});
    EXPECT_EQ(picture.code, 3);
    EXPECT_EQ(lines(picture.out), (std::vector<std::string>{"-h: error no such file", "verdict: owner absent"}));
}

TEST_F(RunnerTest, aFailedWriteOfTheOutputIsAFailure)
{
    std::vector<std::string> arguments{"enrol"};
    for (const auto &p : simmEnrolment())
        arguments.push_back(p);
    ASSERT_EQ(runFaciward(arguments).code, 0);
    const std::string owner = picture(simm + simmPictures[5]);
    struct Case
    {
        std::vector<std::string> arguments;
        int code;
    };
    for (const ft::Streams streams : {ft::Streams::outputToFullDevice, ft::Streams::outputToClosedPipe}) {
        for (const auto &[arguments, code] : std::vector<Case>{{{"check", owner}, 3},
                                                                {{"faces", owner}, 1},
                                                                {{"--help"}, 1},
                                                                {{"enrol", owner}, 1}}) {
            const Outcome run = runFaciward(arguments, std::chrono::minutes(2), {}, streams);
            const std::string what = ::testing::PrintToString(arguments) + (streams == ft::Streams::outputToFullDevice
                                                                                  ? " to /dev/full"
                                                                                  : " to a closed pipe");
            EXPECT_EQ(run.code, code) << what;
            const auto errors = lines(run.err);
            ASSERT_EQ(errors.size(), 1u) << what << ": " << run.err;
            // The cause follows when the failing write was the last one.
            EXPECT_EQ(errors[0].rfind("faciward: cannot write to standard output", 0), 0u) << what << ": " << errors[0];
        }
    }
}

TEST_F(RunnerTest, enrolThenCheckTellsOwnerStrangerNoFaceAndErrors)
{
    std::vector<std::string> arguments{"enrol"};
    for (const auto &p : simmEnrolment())
        arguments.push_back(p);
    const Outcome enrolled = runFaciward(arguments);
    EXPECT_EQ(enrolled.code, 0) << enrolled.err;
    EXPECT_EQ(enrolled.out, "enrolled 3 embeddings from 3 pictures\n");
    EXPECT_EQ(enrolled.err, "");
    const auto stored = storedEmbeddings();
    ASSERT_EQ(stored.size(), 3u);
    for (const auto &e : stored)
        EXPECT_EQ(e.size(), 512u);

    const std::string owner = picture(simm + simmPictures[5]);
    const std::string stranger = picture("johns/John_Salley/000179_02159509.jpg");
    const std::string blank = blankPicture();
    const std::string text = write("notes.jpg", "not a picture\n");
    const std::string empty = write("empty.png", "");
    const std::string missing = (files / "missing.jpg").string();
    const Outcome check = runFaciward({"check", stranger, owner, blank, text, empty, missing, files.path().string()});
    EXPECT_EQ(check.code, 0) << check.err;
    EXPECT_EQ(lines(check.out), (std::vector<std::string>{
                                    stranger + ": stranger",
                                    owner + ": owner",
                                    blank + ": no face",
                                    text + ": error not a picture",
                                    empty + ": error empty file",
                                    missing + ": error no such file",
                                    files.path().string() + ": error not a file",
                                    "verdict: owner present",
                                }));
}

TEST_F(RunnerTest, checkWithoutTheOwnerIsAbsentAndWithoutReadablePicturesFails)
{
    const std::string stranger = picture("johns/John_Salley/000179_02159509.jpg");
    Outcome run = runFaciward({"check", stranger});
    EXPECT_EQ(run.code, 1) << "absent";
    EXPECT_EQ(lines(run.out), (std::vector<std::string>{stranger + ": stranger", "verdict: owner absent"}))
        << "nothing enrolled: nobody is the owner";
    EXPECT_EQ(lines(run.err), std::vector<std::string>{"faciward: no owner is enrolled, so every face is a "
                                                       "stranger's; enrol with \"faciward enrol IMAGE…\""});

    // Embeddings of another model's length match nothing, and the user is told.
    ASSERT_TRUE(Prefs::set(Keys::embeddings(), std::vector<std::vector<double>>{{0.5, 0.5, 0.5}}));
    run = runFaciward({"check", stranger});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(lines(run.err), std::vector<std::string>{"faciward: an enrolled embedding has 3 numbers where the face "
                                                       "model gives 512, so it matches no face; enrol again with "
                                                       "\"faciward enrol IMAGE…\""});

    const std::string text = write("a.txt", "text");
    run = runFaciward({"check", text, (files / "gone.png").string()});
    EXPECT_EQ(run.code, 3);
    EXPECT_EQ(lines(run.out), (std::vector<std::string>{text + ": error not a picture",
                                                        (files / "gone.png").string() + ": error no such file",
                                                        "verdict: owner absent"}));
}

TEST_F(RunnerTest, enrolWithoutAnyFaceKeepsTheEnrolment)
{
    std::vector<std::string> arguments{"enrol"};
    for (const auto &p : simmEnrolment())
        arguments.push_back(p);
    ASSERT_EQ(runFaciward(arguments).code, 0);
    const auto before = storedEmbeddings();
    ASSERT_EQ(before.size(), 3u);

    const std::string blank = blankPicture();
    Outcome run = runFaciward({"enrol", blank});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lines(run.err), (std::vector<std::string>{"faciward: " + blank + ": no face",
                                                        "faciward: no picture shows one face; the enrolled "
                                                        "embeddings are unchanged"}));
    EXPECT_EQ(storedEmbeddings(), before);

    run = runFaciward({"enrol", write("x.png", "garbage")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(storedEmbeddings(), before);
}

TEST_F(RunnerTest, enrolTakesOnlyPicturesOfOneFaceAndSaysWhatItReplaced)
{
    const std::string group = picture("faces/2008_002506.jpg"); // three people
    const std::string blank = blankPicture();
    const auto simmPicture = [](int i) { return picture(simm + simmPictures[i]); };
    // A phone's picture as it stores it: turned, with the EXIF tag that says how
    // to turn it upright.
    const auto phonePicture = [&](int i, int rotation, int orientation) {
        cv::Mat stored;
        cv::rotate(cv::imread(simmPicture(i)), stored, rotation);
        const std::string jpeg = ft::jpegOf(stored, {cv::IMWRITE_JPEG_QUALITY, 95});
        return write("phone-" + std::to_string(orientation) + ".jpg",
                     ft::withApp1(jpeg, ft::orientationTag('M', orientation)));
    };
    const std::string upsideDown = phonePicture(6, cv::ROTATE_180, 3);
    const std::string turnedLeft = phonePicture(7, cv::ROTATE_90_COUNTERCLOCKWISE, 6);
    const std::string turnedRight = phonePicture(8, cv::ROTATE_90_CLOCKWISE, 8);
    struct Case
    {
        std::vector<std::string> pictures;
        int code;
        std::string out;
        std::vector<std::string> err;
        std::size_t stored; // embeddings stored afterwards
    };
    const std::vector<Case> cases{
        {{simmPicture(0), simmPicture(1), simmPicture(2)}, 0, "enrolled 3 embeddings from 3 pictures\n", {}, 3},
        // A bystander beside the owner would be let in from then on.
        {{group},
         1,
         "",
         {"faciward: " + group + ": 3 faces, and a picture to enrol must show the owner alone; nothing is taken from it",
          "faciward: no picture shows one face; the enrolled embeddings are unchanged"},
         3},
        {{simmPicture(3), group, blank},
         0,
         "enrolled 1 embedding from 1 picture, replacing the earlier enrolment of 3 embeddings\n",
         {"faciward: " + group + ": 3 faces, and a picture to enrol must show the owner alone; nothing is taken from it",
          "faciward: " + blank + ": no face"},
         1},
        {{simmPicture(4), simmPicture(5)},
         0,
         "enrolled 2 embeddings from 2 pictures, replacing the earlier enrolment of 1 embedding\n",
         {},
         2},
        // Turned upright by their orientation tags, they are the owner's face.
        {{upsideDown, turnedLeft, turnedRight},
         0,
         "enrolled 3 embeddings from 3 pictures, replacing the earlier enrolment of 2 embeddings\n",
         {},
         3},
    };
    for (const auto &c : cases) {
        std::vector<std::string> arguments{"enrol"};
        arguments.insert(arguments.end(), c.pictures.begin(), c.pictures.end());
        const Outcome run = runFaciward(arguments);
        EXPECT_EQ(run.code, c.code) << ::testing::PrintToString(c.pictures) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(lines(run.err), c.err);
        EXPECT_EQ(storedEmbeddings().size(), c.stored);
    }
    // The pictures of the owner stored upright are the owner's.
    const Outcome check = runFaciward({"check", simmPicture(9), simmPicture(10)});
    EXPECT_EQ(check.code, 0) << check.out;
    EXPECT_EQ(lines(check.out).back(), "verdict: owner present");
    EXPECT_EQ(check.out.find("stranger"), std::string::npos) << check.out;
}

TEST_F(RunnerTest, facesPrintsOneJsonObjectPerFace)
{
    const Outcome run = runFaciward({"faces", picture("faces/2008_002506.jpg")});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.out.back(), '\n');
    const Json::Value faces = Json::decode(run.out);
    ASSERT_TRUE(faces.is_array());
    ASSERT_EQ(faces.size(), 3u);
    for (const auto &face : faces) {
        std::vector<std::string> keys;
        for (auto it = face.begin(); it != face.end(); ++it)
            keys.push_back(it.key());
        EXPECT_EQ(keys, (std::vector<std::string>{"box", "yaw", "roll", "pitch", "embedding"}));
        ASSERT_EQ(face["box"].size(), 4u);
        EXPECT_GT(face["box"][2].get<int>(), 50);
        for (const char *angle : {"yaw", "roll", "pitch"}) {
            ASSERT_TRUE(face[angle].is_number()) << angle;
            EXPECT_LT(std::abs(face[angle].get<double>()), 90.0) << angle;
        }
        EXPECT_EQ(face["embedding"].size(), 512u);
    }
}

TEST_F(RunnerTest, facesOfAFacelessOrUnreadablePicture)
{
    Outcome run = runFaciward({"faces", blankPicture()});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "[]\n");
    const std::string missing = (files / "nope.jpg").string();
    run = runFaciward({"faces", missing});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lines(run.err), std::vector<std::string>{"faciward: " + missing + ": no such file"});
}

TEST_F(RunnerTest, missingModelsAreOneClearLineNotACrash)
{
    ft::TempDir empty;
    ft::EnvGuard models("FACIWARD_MODEL_DIR", empty.path().string());
    for (const auto &[command, code] : std::vector<std::pair<std::string, int>>{{"check", 3}, {"enrol", 1}, {"faces", 1}}) {
        const Outcome run = runFaciward({command, picture(simm + simmPictures[0])});
        EXPECT_EQ(run.code, code) << command;
        EXPECT_EQ(run.out, "") << command;
        const auto errors = lines(run.err);
        ASSERT_EQ(errors.size(), 1u) << command << ": " << run.err;
        EXPECT_EQ(errors[0], "faciward: cannot load the face models: model file missing: " +
                                 (empty.path() / "fr_detect.onnx").string())
            << command;
    }
    EXPECT_TRUE(storedEmbeddings().empty());
}
