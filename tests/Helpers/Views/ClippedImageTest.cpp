#include "Helpers/Views/ClippedImage.h"
#include "Helpers/Views/Spinner.h"

#include "tests/support/ColourSchemes.h"
#include "tests/support/Guards.h"
#include "tests/support/WidgetApplication.h"

#include <QBuffer>
#include <QtMath>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>

namespace faciward::helpers {
namespace {

using namespace std::chrono_literals;
using Phase = ClippedImage::Phase;

QPixmap solid(QSize size, QColor colour)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

QByteArray png(QSize size, QColor colour)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    solid(size, colour).save(&buffer, "PNG");
    return bytes;
}

/// A local HTTP server that answers every request with @p body as a PNG, or
/// never answers when there is none.
class PictureServer
{
public:
    explicit PictureServer(std::optional<QByteArray> body)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this, body] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++m_connections;
                if (!body)
                    continue;
                QObject::connect(socket, &QTcpSocket::readyRead, [socket, body] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\nContent-Length: " +
                                  QByteArray::number(body->size()) + "\r\n\r\n" + *body);
                    socket->disconnectFromHost();
                });
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/picture.png").arg(m_server.serverPort())); }
    int connections() const { return m_connections; }

private:
    QTcpServer m_server;
    int m_connections = 0;
};

// A 200x100 picture in a 100x100 view is drawn 100x50, centred: probe rows
// just outside and inside its edges. The same holds however the picture arrives.
TEST(ClippedImage, fitsThePictureCentredWithItsProportions)
{
    testing::widgetApplication();
    testing::TempDir dir;
    const QColor blue(20, 60, 200);
    const QString file = QString::fromStdString((dir / "picture.png").string());
    solid({200, 100}, blue).save(file);
    PictureServer server(png({200, 100}, blue));

    const std::pair<const char *, ClippedImage::Intent> intents[] = {
        {"pixmap", solid({200, 100}, blue)},
        {"file", QUrl::fromLocalFile(file)},
        {"http", server.url()},
    };
    for (const auto &[name, intent] : intents) {
        SCOPED_TRACE(name);
        ClippedImage view(intent);
        view.resize(100, 100);
        ASSERT_TRUE(testing::spinUntil([&] { return view.phase() != Phase::Loading; }));
        ASSERT_EQ(view.phase(), Phase::Shown);
        const QImage image = testing::grabInBothSchemes(view, std::string("clipped-image-") + name);
        for (int x : {0, 50, 99}) {
            EXPECT_FALSE(testing::coloursNear(image.pixelColor(x, 24), blue)) << x;
            EXPECT_TRUE(testing::coloursNear(image.pixelColor(x, 25), blue)) << x;
            EXPECT_TRUE(testing::coloursNear(image.pixelColor(x, 74), blue)) << x;
            EXPECT_FALSE(testing::coloursNear(image.pixelColor(x, 75), blue)) << x;
        }
    }
}

// Asked for rounded corners, the view cuts them off with antialiasing and
// leaves the rest of the picture whole: off its whole area, or off the picture
// as drawn, where a 4:3 camera frame in a square keeps round corners at the
// top and bottom of its band.
TEST(ClippedImage, cutsRoundedCornersWhenAsked)
{
    testing::widgetApplication();
    using R = ClippedImage::Rounding;
    const QColor blue(20, 60, 200);
    const struct
    {
        const char *name;
        QSize picture;
        R rounding;
        QRectF rounded;
    } cases[] = {
        {"square", {100, 100}, R::WholeArea, {0, 0, 100, 100}},
        {"square-drawn", {100, 100}, R::DrawnPicture, {0, 0, 100, 100}},
        {"camera-frame-area", {160, 120}, R::WholeArea, {0, 0, 100, 100}},
        {"camera-frame-drawn", {160, 120}, R::DrawnPicture, {0, 12.5, 100, 75}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ClippedImage view(solid(c.picture, blue));
        view.resize(100, 100);
        view.setCornerRadius(24, c.rounding);
        const QImage image = testing::grabInBothSchemes(view, std::string("clipped-image-rounded-") + c.name);
        const QRectF drawn = view.drawnRect();
        if (c.rounding == R::DrawnPicture) {
            EXPECT_EQ(drawn, c.rounded);
        }
        // The cut corners, and within the picture as drawn its edges and centre.
        const int top = qCeil(c.rounded.top()), bottom = qFloor(c.rounded.bottom()) - 1;
        for (QPoint corner : {QPoint(1, top + 1), QPoint(98, top + 1), QPoint(1, bottom - 1), QPoint(98, bottom - 1)})
            EXPECT_FALSE(testing::coloursNear(image.pixelColor(corner), blue)) << corner.x() << "," << corner.y();
        const int drawnTop = qCeil(drawn.top());
        for (QPoint inside : {QPoint(50, drawnTop), QPoint(0, 50), QPoint(50, 50), QPoint(12, std::max(drawnTop, top + 12))})
            EXPECT_TRUE(testing::coloursNear(image.pixelColor(inside), blue)) << inside.x() << "," << inside.y();
    }
}

// Whatever cannot give a picture fills the whole area red after the event
// loop, with the spinner gone: a missing file, a named pipe (whose reader would
// block), an address of another scheme or none, and a name or symbol that
// does not exist.
TEST(ClippedImage, whatCannotLoadTurnsRed)
{
    testing::widgetApplication();
    testing::TempDir dir;
    const std::string pipe = (dir / "pipe.png").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

    const std::pair<const char *, ClippedImage::Intent> intents[] = {
        {"missing-file", QUrl::fromLocalFile(QString::fromStdString((dir / "missing.png").string()))},
        {"named-pipe", QUrl::fromLocalFile(QString::fromStdString(pipe))},
        {"other-scheme", QUrl(QStringLiteral("ftp://127.0.0.1/picture.png"))},
        {"no-address", QUrl()},
        {"missing-name", ClippedImage::Named{QStringLiteral("no-such-picture")}},
        {"missing-symbol", ClippedImage::SystemSymbol{QStringLiteral("no.such.symbol")}},
    };
    for (const auto &[name, intent] : intents) {
        SCOPED_TRACE(name);
        ClippedImage view(intent);
        view.resize(60, 40);
        ASSERT_TRUE(testing::spinUntil([&] { return view.phase() == Phase::Failed; }));
        EXPECT_TRUE(view.spinner()->isHidden());
        const QImage image = testing::grabInBothSchemes(view, std::string("clipped-image-") + name);
        for (QPoint probe : {QPoint(0, 0), QPoint(30, 20), QPoint(59, 39)})
            EXPECT_EQ(image.pixelColor(probe), QColor(Qt::red));
    }
}

// A server that never answers shows the spinner, not red; the load then times
// out to red and the spinner stops.
TEST(ClippedImage, slowLoadSpinsThenTimesOut)
{
    testing::widgetApplication();
    PictureServer silent(std::nullopt);
    ClippedImage view(silent.url(), nullptr, 1s);
    view.resize(100, 100);
    ASSERT_TRUE(testing::spinUntil([&] { return silent.connections() > 0; }));
    ASSERT_EQ(view.phase(), Phase::Loading);
    ASSERT_FALSE(view.spinner()->isHidden());
    const QImage loading = testing::grabInBothSchemes(view, "clipped-image-loading");
    const QColor text = testing::lightPalette().color(QPalette::WindowText);
    EXPECT_TRUE(testing::coloursNear(loading.pixelColor(50, 50 - Spinner::diameter / 2 + 2), text));
    EXPECT_NE(loading.pixelColor(5, 5), QColor(Qt::red));

    ASSERT_TRUE(testing::spinUntil([&] { return view.phase() == Phase::Failed; }));
    EXPECT_TRUE(view.spinner()->isHidden());
    EXPECT_FALSE(view.spinner()->isSpinning());
}

// A screen reader names a symbol by its name; other pictures, and a symbol
// that does not exist, get no description of the view's own.
TEST(ClippedImage, describesASymbolByItsName)
{
    testing::widgetApplication();
    const std::pair<ClippedImage::Intent, QString> cases[] = {
        {ClippedImage::SystemSymbol{QStringLiteral("xmark.circle.fill")}, QStringLiteral("xmark.circle.fill")},
        {ClippedImage::SystemSymbol{QStringLiteral("no.such.symbol")}, QString()},
        {solid({10, 10}, Qt::blue), QString()},
    };
    for (const auto &[intent, description] : cases) {
        ClippedImage view(intent);
        EXPECT_EQ(view.accessibleDescription(), description) << description.toStdString();
    }
}

} // namespace
} // namespace faciward::helpers
