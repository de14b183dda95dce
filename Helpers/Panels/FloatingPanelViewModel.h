#pragma once

#include "Helpers/Views/ClippedImage.h"

#include <QSize>
#include <QUrl>

namespace faciward::helpers {

/// @brief The data of one floating picture card.
struct FloatingPanelViewModel
{
    ClippedImage::Intent clippedImageIntent;
    QSize size;
    QUrl imageURL;
};

} // namespace faciward::helpers
