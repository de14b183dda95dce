#include "DraggableImage.h"

namespace faciward::presence {

DraggableImage::DraggableImage(cv::Mat image, const settings::ImageItem &item)
    : m_id(QUuid::createUuid())
    , m_image(std::move(image))
    , m_url(QString::fromStdString(item.url), QUrl::StrictMode)
{
}

} // namespace faciward::presence
