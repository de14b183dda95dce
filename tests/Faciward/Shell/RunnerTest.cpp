#include "Faciward/Presence/Recognition/RecognizerManager.h"
#include "Faciward/Presence/Recognition/Similarity.h"
#include "Faciward/Settings/Keys.h"
#include "Platform/Settings/Json.h"
#include "SettingsStore/Prefs.h"
#include "bench/recognition/DevelopmentSet.h"
#include "tests/Faciward/Shell/FaciwardProcess.h"
#include "tests/Platform/Vision/VisionTestData.h"
#include "tests/support/Guards.h"
#include "tests/support/ScopedSettingsFile.h"

#include <gtest/gtest.h>

#include <fstream>

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
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(lines(run.out), (std::vector<std::string>{stranger + ": stranger", "verdict: owner absent"}))
        << "nothing enrolled: nobody is the owner";

    const std::string text = write("a.txt", "text");
    run = runFaciward({"check", text, (files / "gone.png").string()});
    EXPECT_EQ(run.code, 1);
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

    Outcome run = runFaciward({"enrol", blankPicture()});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lines(run.err),
              std::vector<std::string>{"faciward: no face found in the pictures; the enrolled embeddings are unchanged"});
    EXPECT_EQ(storedEmbeddings(), before);

    run = runFaciward({"enrol", write("x.png", "garbage")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(storedEmbeddings(), before);
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
    for (const std::string command : {"check", "enrol", "faces"}) {
        const Outcome run = runFaciward({command, picture(simm + simmPictures[0])});
        EXPECT_EQ(run.code, 1) << command;
        EXPECT_EQ(run.out, "") << command;
        const auto errors = lines(run.err);
        ASSERT_EQ(errors.size(), 1u) << command << ": " << run.err;
        EXPECT_EQ(errors[0], "faciward: cannot load the face models: model file missing: " +
                                 (empty.path() / "fr_detect.onnx").string())
            << command;
    }
    EXPECT_TRUE(storedEmbeddings().empty());
}
