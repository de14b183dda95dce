#include "Platform/Vision/FaceRectangles.h"

#include <algorithm>

namespace faciward::platform {

void FaceRectangles::sortLargestFirst(std::vector<FaceBox> &faces)
{
    std::stable_sort(faces.begin(), faces.end(), [](const FaceBox &a, const FaceBox &b) {
        if (a.rect.area() != b.rect.area())
            return a.rect.area() > b.rect.area();
        return a.confidence > b.confidence;
    });
}

} // namespace faciward::platform
