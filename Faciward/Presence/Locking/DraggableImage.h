#pragma once

#include "Faciward/Settings/ImageItem.h"

#include <QtCore/QUrl>
#include <QtCore/QUuid>
#include <opencv2/core/mat.hpp>

namespace faciward::presence {

/// @brief One loaded picture of the history, as the history's views show and
/// drag it.
///
/// Every record gets a fresh `id`, so two records of one picture made at
/// different times are two items to a view; the picture and its address stay
/// as they were made.
class DraggableImage
{
public:
    /// @brief A record of @p image, the loaded picture of @p item.
    DraggableImage(cv::Mat image, const settings::ImageItem &item);

    QUuid id() const { return m_id; }
    void setId(const QUuid &id) { m_id = id; }

    /// @brief The loaded picture.
    const cv::Mat &image() const { return m_image; }
    /// @brief The address of the picture's file: the `url` of the entry it was made from.
    const QUrl &url() const { return m_url; }

private:
    QUuid m_id;
    cv::Mat m_image;
    QUrl m_url;
};

} // namespace faciward::presence
