#include "Faciward/Presence/Devices/CameraException.h"
#include "Faciward/Presence/Devices/CameraSetup.h"

#include <gtest/gtest.h>

using faciward::platform::CaptureError;
using faciward::platform::CaptureException;
using faciward::presence::CameraError;
using faciward::presence::CameraException;
using faciward::presence::CameraSetup;

TEST(CameraException, captureFailuresMapToTheErrorLinuxCanTellWithItsText)
{
    struct Case
    {
        CaptureError from;
        CameraException to;
        const char *text;
    };
    const Case cases[] = {
        {CaptureError::deviceMissing, CameraException(CameraError::cameraUnavailable), "Camera unavailable"},
        {CaptureError::permissionDenied, CameraException(CameraError::deniedAuthorization), "Camera access denied"},
        {CaptureError::permissionRestricted, CameraException(CameraError::restrictedAuthorization),
         "Attempting to access a restricted capture device"},
        {CaptureError::openFailed, CameraException(CameraError::createCaptureInput, "detail"),
         "Creating capture input for camera: detail"},
        {CaptureError::deviceLost, CameraException(CameraError::createCaptureInput, "detail"),
         "Creating capture input for camera: detail"},
        {CaptureError::unsupportedDevice, CameraException(CameraError::cannotAddInput),
         "Cannot add capture input to session"},
        {CaptureError::noFrames, CameraException(CameraError::cannotAddOutput), "Cannot add video output to session"},
    };
    for (const auto &c : cases) {
        const auto mapped = CameraSetup::cameraError(CaptureException(c.from, "/dev/video0", "detail"));
        EXPECT_EQ(mapped, c.to);
        EXPECT_STREQ(mapped.what(), c.text);
    }
    EXPECT_STREQ(CameraException(CameraError::unknownAuthorization).what(),
                 "Unknown authorization status for capture device");
    // Equal by case and underlying text, which only createCaptureInput carries.
    EXPECT_NE(CameraException(CameraError::createCaptureInput, "a"), CameraException(CameraError::createCaptureInput, "b"));
    EXPECT_EQ(CameraException(CameraError::cameraUnavailable, "ignored"), CameraException(CameraError::cameraUnavailable));
}
