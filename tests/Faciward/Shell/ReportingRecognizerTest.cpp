#include "Faciward/Shell/ReportingRecognizer.h"
#include "tests/Platform/Vision/VisionTestData.h"

#include <gtest/gtest.h>

namespace ft = faciward::testing;
using faciward::presence::RecognizerManager;
using faciward::shell::ReportingRecognizer;

TEST(ReportingRecognizer, answersPerFrameAndReportsTheFramesThatCouldNotBeChecked)
{
    const auto owner = ft::developmentPicture("johns/John_Simm/000288_00470387.jpg");
    const auto again = ft::developmentPicture("johns/John_Simm/000305_00470717.jpg");
    const auto stranger = ft::developmentPicture("johns/John_Salley/000179_02159509.jpg");
    const cv::Mat blank(240, 320, CV_8UC3, cv::Scalar::all(128));

    RecognizerManager enrolment;
    enrolment.setModel(ft::sharedFaceModels());
    const auto enrolled = enrolment.embeddings({owner});
    ASSERT_EQ(enrolled.size(), 1u);
    RecognizerManager manager([&] { return enrolled; }, [] { return 0.6; });
    std::vector<std::string> reported;
    ReportingRecognizer recognizer(manager, [&](const std::string &line) { reported.push_back(line); });

    EXPECT_FALSE(recognizer.hasModel());
    EXPECT_THROW(recognizer.recognize({again}), RecognizerManager::Exception);
    manager.setModel(ft::sharedFaceModels());
    EXPECT_TRUE(recognizer.hasModel());

    EXPECT_EQ(recognizer.recognize({stranger, blank, again, cv::Mat()}), (std::vector<bool>{false, false, true, false}));
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0], "frame 2 of 4: couldNotFindFace");
    EXPECT_EQ(reported[1].rfind("frame 4 of 4: ", 0), 0u) << reported[1];
    EXPECT_TRUE(recognizer.recognize({}).empty());
}
