#pragma once

#include "Helpers/Views/Symbol.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

class QImage;
class QNetworkReply;

namespace faciward::helpers {

class Spinner;

/// @brief Shows one picture, fitted into whatever size the widget is given
/// with its proportions kept and centred.
///
/// The picture comes from an Intent: a pixmap in memory; a named image of the
/// application's resources; one of the toolkit's symbols (see Symbol), drawn
/// in the text colour; or an address to load. `file://` addresses are read by
/// the image reader and `http(s)://` ones fetched by Qt's network access, both
/// decoded on the global thread pool, so the main thread never waits for a
/// picture. While an address loads a small spinner shows; when it fails, or
/// takes longer than the load timeout, the whole area turns red. A name or
/// symbol that does not exist, an address of another scheme and a path that is
/// not a regular file (a named pipe would block its reader) fail the same way.
///
/// The widget sets no size and no clipping of its own, except the rounded
/// corners a caller may ask for. It lives on the main thread; a load still
/// running when it is destroyed is dropped.
class ClippedImage : public QWidget
{
    Q_OBJECT

public:
    /// @brief A picture of the application's resources: ":/images/<name>", with
    /// or without a ".png" or ".svg" suffix, or a resource path (":/…") as given.
    struct Named
    {
        QString name;
    };
    /// @brief One of the toolkit's symbols, by name.
    struct SystemSymbol
    {
        QString name;
    };
    using Intent = std::variant<QPixmap, Named, SystemSymbol, QUrl>;

    enum class Phase
    {
        Shown,   ///< a picture or a symbol is drawn
        Loading, ///< an address is loading; the spinner shows
        Failed,  ///< nothing to draw: the area is red
    };

    /// @brief How long an address may take before it counts as failed.
    static constexpr std::chrono::milliseconds defaultLoadTimeout = std::chrono::seconds(30);

    explicit ClippedImage(Intent intent, QWidget *parent = nullptr,
                          std::chrono::milliseconds loadTimeout = defaultLoadTimeout);
    ~ClippedImage() override;

    Phase phase() const { return m_phase; }
    /// @brief The spinner shown while an address loads.
    Spinner *spinner() const { return m_spinner; }

    /// @brief Which rectangle rounded corners cut: the widget's whole area (a
    /// caller that frames the picture, then clips the frame), or the picture
    /// as fitted into it (a caller that clips the picture itself).
    enum class Rounding
    {
        WholeArea,
        DrawnPicture,
    };

    /// @brief Cuts rounded corners of @p radius (device-independent pixels,
    /// antialiased) off what the widget draws, at the rectangle @p rounding
    /// names; 0, the default, cuts nothing.
    void setCornerRadius(qreal radius, Rounding rounding = Rounding::WholeArea);

    /// @brief Where the content is drawn, in the widget's coordinates: the
    /// picture or symbol as fitted, the whole widget when it shows the
    /// failure, nothing while an address loads.
    QRectF drawnRect() const;

    /// @brief The picture's own size in device-independent pixels (the spinner's
    /// while loading); the widget is happy to be given any other size.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Mailbox;

    void load(const QUrl &address);
    void decodeOffMainThread(std::function<QImage()> decode);
    void finishLoading(const QImage &image);
    void fail();
    void paintContent(QPainter &painter) const;

    Phase m_phase = Phase::Shown;
    QPixmap m_pixmap;
    std::optional<Symbol> m_symbol;
    qreal m_cornerRadius = 0;
    Rounding m_rounding = Rounding::WholeArea;
    Spinner *m_spinner = nullptr;
    QTimer m_loadTimeout;
    QPointer<QNetworkReply> m_reply;
    std::shared_ptr<Mailbox> m_mailbox;
};

} // namespace faciward::helpers
