#include "Faciward/Presence/Devices/CameraException.h"
#include "Faciward/Presence/Devices/CameraSetup.h"

#include <gtest/gtest.h>

using faciward::platform::CaptureError;
using faciward::platform::CaptureException;
using faciward::presence::CameraError;
using faciward::presence::CameraException;
using faciward::presence::CameraSetup;

TEST(CameraException, descriptionsAreTheExactTexts)
{
    EXPECT_STREQ(CameraException(CameraError::createCaptureInput, "Device or resource busy").what(),
                 "Creating capture input for camera: Device or resource busy");
    EXPECT_STREQ(CameraException(CameraError::createCaptureInput).what(), "Creating capture input for camera: ");
    EXPECT_STREQ(CameraException(CameraError::cameraUnavailable).what(), "Camera unavailable");
    EXPECT_STREQ(CameraException(CameraError::cannotAddInput).what(), "Cannot add capture input to session");
    EXPECT_STREQ(CameraException(CameraError::cannotAddOutput).what(), "Cannot add video output to session");
    EXPECT_STREQ(CameraException(CameraError::deniedAuthorization).what(), "Camera access denied");
    EXPECT_STREQ(CameraException(CameraError::restrictedAuthorization).what(),
                 "Attempting to access a restricted capture device");
    EXPECT_STREQ(CameraException(CameraError::unknownAuthorization).what(),
                 "Unknown authorization status for capture device");
}

TEST(CameraException, equalByCaseAndUnderlyingText)
{
    EXPECT_EQ(CameraException(CameraError::cameraUnavailable), CameraException(CameraError::cameraUnavailable));
    EXPECT_NE(CameraException(CameraError::cameraUnavailable), CameraException(CameraError::cannotAddInput));
    EXPECT_NE(CameraException(CameraError::createCaptureInput, "a"), CameraException(CameraError::createCaptureInput, "b"));
    // Only createCaptureInput carries an underlying text.
    EXPECT_EQ(CameraException(CameraError::cameraUnavailable, "ignored"), CameraException(CameraError::cameraUnavailable));
    EXPECT_EQ(CameraException(CameraError::cameraUnavailable, "ignored").underlying(), "");
}

TEST(CameraException, captureFailuresMapToTheErrorLinuxCanTell)
{
    auto map = [](CaptureError error, std::string detail = "detail") {
        return CameraSetup::cameraError(CaptureException(error, "/dev/video0", std::move(detail)));
    };
    EXPECT_EQ(map(CaptureError::deviceMissing), CameraException(CameraError::cameraUnavailable));
    EXPECT_EQ(map(CaptureError::permissionDenied), CameraException(CameraError::deniedAuthorization));
    EXPECT_EQ(map(CaptureError::permissionRestricted), CameraException(CameraError::restrictedAuthorization));
    EXPECT_EQ(map(CaptureError::openFailed, "Device or resource busy"),
              CameraException(CameraError::createCaptureInput, "Device or resource busy"));
    EXPECT_EQ(map(CaptureError::deviceLost, "No such device"),
              CameraException(CameraError::createCaptureInput, "No such device"));
    EXPECT_EQ(map(CaptureError::unsupportedDevice), CameraException(CameraError::cannotAddInput));
    EXPECT_EQ(map(CaptureError::noFrames), CameraException(CameraError::cannotAddOutput));
}
