#pragma once

#include "Platform/Vision/Image.h"

namespace faciward::platform {

/// @brief How much to brighten the frame of a dim room before faces are looked
/// for in it.
///
/// In a dim room a camera delivers frames at a third of their normal brightness
/// or less, with its sensor noise on top; the face detector then misses many
/// faces, and finds some too loosely for the owner to be recognised. A gain
/// chosen from the frame's own brightness brings such a frame back to the range
/// of a normal one. The dim-light benchmark (bench/dim-light) chose it over
/// local contrast equalisation, which found fewer faces, over a pass on the
/// brightened frame only when the plain one finds nothing, which recognised
/// fewer owners, and over brightening the embedding's crop by the frame's gain
/// as well, which changed nothing. Frames in normal light are left alone, at the cost of a
/// sparse brightness count. A frame can count as dark and yet be lit normally
/// (a small face before a plain mid-grey wall); the detector then also looks at
/// the plain frame when the brightened one shows no face.
///
/// A face found dark (in a dim room, or in shadow in a lit one) is smoothed and
/// brightened once more for its embedding, judged by the middle of the face
/// alone: more owners are then recognised at the stricter precisions, and
/// faces in shadow at all.
class LowLight
{
public:
    /// @brief A frame whose brightest pixels (but the brightest 1 %) lie below
    /// this luminance is dark.
    static constexpr int darkLevel = 128;
    /// @brief The luminance a dark frame's brightest pixels are brought to.
    static constexpr int targetLevel = 230;
    /// @brief The most a dark frame is brightened: more would mostly amplify
    /// noise.
    static constexpr double maxGain = 4.0;

    /// @brief The gain for a frame that is not dark but shows no face: a face in
    /// shadow in a lit room is about a third as bright as the room. Chosen with
    /// bench/dim-light over local contrast equalisation and a gamma lift, which
    /// found fewer such faces.
    static constexpr double shadowGain = 3.0;
    /// @brief How much a frame is smoothed before it is brightened, dark or
    /// with no face in it (shadowGain): the standard deviation of the Gaussian,
    /// in pixels. Brightened too, the sensor noise of a dim room or a shadow
    /// hides small faces and makes faces of noise. With it bench/dim-light
    /// misses 1 of 55 small faces in shadow instead of 5; 1 of 40 dark empty
    /// rooms shows a face instead of 2, and 2 of 200 lit empty rooms with a
    /// shadowed patch instead of 3; faces in a dim room are all found still.
    /// 1 and 2 pixels found as many faces in shadow; 1.5 left the widest gap
    /// between the scores of faces and of noise.
    static constexpr double frameSmoothing = 1.5;

    /// @brief A face whose middle has a mean luminance below this is dark. The
    /// middles of faces in normal light measured 80 or more, those of faces in
    /// shadow 65 or less (bench/dim-light), so the embeddings of faces in normal
    /// light, and the enrolments made from them, stay as they were.
    static constexpr int darkFaceLevel = 70;
    /// @brief The mean luminance a dark face's middle is brought to. With 100,
    /// bench/dim-light recognised 38 of 40 small owners in shadow (36 with the
    /// whole box judged against 50 and brought to 110; 36 with 120).
    static constexpr int faceTargetLevel = 100;
    /// @brief How much a dark face is smoothed before it is brightened (see
    /// frameSmoothing): its landmarks and embedding then see less noise.
    /// bench/dim-light: small owners in shadow 38 -> 39 of 40, owners in a dim
    /// room at the precision of 0.8 25 -> 28 of 40 (0.8 and 1.2 pixels measured
    /// within one owner of it).
    static constexpr double faceSmoothing = 1.0;

    /// @brief The gain for @p bgr (8-bit BGR): 1 for a frame that is not dark.
    static double gain(const Image &bgr);

    /// @brief The gain for the face @p bgrFace (8-bit BGR, the face's box),
    /// judged by the middle half of each side: the box of a small face in shadow
    /// reaches into the lit room around it. 1 for a face that is not dark, at
    /// most maxGain.
    static double faceGain(const Image &bgrFace);

    /// @brief @p bgr times @p gain, in a new picture: pictures handed on are
    /// shared, and never changed. With a @p smoothing above 0, smoothed first by
    /// a Gaussian of that standard deviation in pixels, so that the gain does
    /// not bring up the sensor noise of a dark picture as well.
    /// @throws VisionException inferenceFailed when OpenCV fails.
    static Image brightened(const Image &bgr, double gain, double smoothing = 0);
};

} // namespace faciward::platform
