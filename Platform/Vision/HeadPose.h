#pragma once

#include "Platform/Vision/FaceLandmarks.h"
#include "Platform/Vision/FaceRectangles.h"

namespace faciward::platform {

/// @brief How a head is turned, in radians, measured from a frontal face
/// looking straight into the camera.
///
/// Signs, as seen in the picture: a positive yaw turns the face towards the
/// picture's left; a positive roll tilts it clockwise; a positive pitch tips it
/// down. Mirroring a picture negates yaw and roll; turning a picture in its
/// plane by an angle changes roll by that angle.
struct HeadPose
{
    double yaw = 0;
    double roll = 0;
    double pitch = 0;

    /// @brief The pose of the face with @p landmarks in a picture of @p imageSize
    /// pixels: six landmarks (nose tip, chin, outer eye corners, mouth corners)
    /// fitted with cv::solvePnP to a generic 3D face, for a camera whose focal
    /// length is the picture's width and whose centre is the picture's centre.
    /// @throws VisionException inferenceFailed when no pose fits.
    static HeadPose estimate(const FaceLandmarks::Points &landmarks, cv::Size imageSize);

    /// @brief The pose of the face in @p faceBox of @p frame.
    ///
    /// A fit of six points to a generic face turns a pixel of landmark error into
    /// degrees, and the landmark model answers neither a mirrored nor a tilted
    /// face quite as it answers the face. So the landmarks are found on the face
    /// turned upright, in the frame and in its mirror image (with the face found
    /// there by @p rectangles), and the two sets averaged: a mirrored frame then
    /// gives exactly the opposite yaw, and a turned frame the same turn in roll.
    /// @throws VisionException when detection, landmarks or the fit fail.
    static HeadPose measure(const Image &frame, const cv::Rect2d &faceBox, const FaceRectangles &rectangles,
                            const FaceLandmarks &landmarks);
};

} // namespace faciward::platform
