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
/// fewer owners, and over brightening the embedding's crop as well, which
/// changed nothing. Frames in normal light are left alone, at the cost of a
/// sparse brightness count. A frame can count as dark and yet be lit normally
/// (a small face before a plain mid-grey wall); the detector then also looks at
/// the plain frame when the brightened one shows no face.
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

    /// @brief The gain for @p bgr (8-bit BGR): 1 for a frame that is not dark.
    static double gain(const Image &bgr);
};

} // namespace faciward::platform
