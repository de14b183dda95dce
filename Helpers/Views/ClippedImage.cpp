#include "ClippedImage.h"

#include "Helpers/Core/MainQueue.h"
#include "Helpers/Views/Spinner.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPainterPath>
#include <QThreadPool>

#include <mutex>

namespace faciward::helpers {

/// Where a decoding job hands its picture back. Shared with the job; `target`
/// is read and cleared only on the main thread, so a job that finishes after
/// its widget is gone finds it null and drops its picture.
struct ClippedImage::Mailbox
{
    ClippedImage *target = nullptr;
};

namespace {

QPixmap namedPixmap(const QString &name)
{
    if (name.isEmpty())
        return {};
    if (name.startsWith(QLatin1String(":/")))
        return QPixmap(name);
    for (const char *suffix : {"", ".png", ".svg"}) {
        const QString path = QStringLiteral(":/images/") + name + QLatin1String(suffix);
        if (QFileInfo(path).isFile())
            return QPixmap(path);
    }
    return {};
}

QImage readRegularFile(const QString &path)
{
    // Anything but a regular file (a named pipe, a device) could block the
    // reader for ever; a picture is never one.
    if (!QFileInfo(path).isFile())
        return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read();
}

std::mutex &handOverMutex()
{
    static std::mutex mutex;
    return mutex;
}

QNetworkAccessManager &networkAccess()
{
    // One manager for every picture, living as long as the application.
    static QNetworkAccessManager *manager = new QNetworkAccessManager(QCoreApplication::instance());
    return *manager;
}

} // namespace

ClippedImage::ClippedImage(Intent intent, QWidget *parent, std::chrono::milliseconds loadTimeout)
    : QWidget(parent)
    , m_spinner(new Spinner(this))
    , m_mailbox(std::make_shared<Mailbox>(Mailbox{this}))
{
    m_spinner->hide();
    m_loadTimeout.setSingleShot(true);
    m_loadTimeout.setInterval(loadTimeout);
    connect(&m_loadTimeout, &QTimer::timeout, this, &ClippedImage::fail);

    if (auto *pixmap = std::get_if<QPixmap>(&intent)) {
        m_pixmap = *pixmap;
    } else if (auto *named = std::get_if<Named>(&intent)) {
        m_pixmap = namedPixmap(named->name);
    } else if (auto *symbol = std::get_if<SystemSymbol>(&intent)) {
        if (Symbol found(symbol->name); found.isValid()) {
            m_symbol = found;
            // What a screen reader says of a symbol: its name.
            setAccessibleDescription(symbol->name);
        }
    } else {
        load(std::get<QUrl>(intent));
        return;
    }
    // A name or symbol that does not exist shows the failure, as a load would.
    if (m_pixmap.isNull() && !m_symbol)
        m_phase = Phase::Failed;
}

ClippedImage::~ClippedImage()
{
    m_mailbox->target = nullptr;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void ClippedImage::setCornerRadius(qreal radius, Rounding rounding)
{
    m_cornerRadius = radius;
    m_rounding = rounding;
    update();
}

QSize ClippedImage::sizeHint() const
{
    if (!m_pixmap.isNull())
        return m_pixmap.deviceIndependentSize().toSize();
    if (m_symbol)
        return m_symbol->defaultSize().toSize();
    return m_spinner->sizeHint();
}

void ClippedImage::load(const QUrl &address)
{
    const QString scheme = address.scheme().toLower();
    if (address.isLocalFile()) {
        decodeOffMainThread([path = address.toLocalFile()] { return readRegularFile(path); });
    } else if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        m_reply = networkAccess().get(QNetworkRequest(address));
        connect(m_reply, &QNetworkReply::finished, this, [this] {
            QNetworkReply *reply = m_reply;
            m_reply = nullptr;
            reply->deleteLater();
            if (reply->error() != QNetworkReply::NoError)
                return fail();
            decodeOffMainThread([bytes = reply->readAll()] { return QImage::fromData(bytes); });
        });
    } else {
        m_phase = Phase::Failed;
        return;
    }
    m_phase = Phase::Loading;
    m_spinner->show();
    m_loadTimeout.start();
}

void ClippedImage::decodeOffMainThread(std::function<QImage()> decode)
{
    // The pool takes the hand-over lock before it touches what this thread
    // made: the pool orders the hand-over with locks of its own, which thread
    // checkers cannot see. The way back is the main queue's, which keeps the
    // same rule.
    std::lock_guard lock(handOverMutex());
    QThreadPool::globalInstance()->start([decode = std::move(decode), mailbox = m_mailbox] {
        { std::lock_guard taken(handOverMutex()); }
        QImage image = decode();
        if (!QCoreApplication::instance())
            return; // the application is being torn down; nobody is left to show it
        postToMain([mailbox, image = std::move(image)] {
            if (mailbox->target)
                mailbox->target->finishLoading(image);
        });
    });
}

void ClippedImage::finishLoading(const QImage &image)
{
    if (m_phase != Phase::Loading)
        return; // the timeout came first
    if (image.isNull())
        return fail();
    m_loadTimeout.stop();
    m_spinner->hide();
    m_pixmap = QPixmap::fromImage(image);
    m_phase = Phase::Shown;
    updateGeometry();
    update();
}

void ClippedImage::fail()
{
    m_loadTimeout.stop();
    m_spinner->hide();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    m_phase = Phase::Failed;
    update();
}

void ClippedImage::resizeEvent(QResizeEvent *event)
{
    m_spinner->move((width() - m_spinner->width()) / 2, (height() - m_spinner->height()) / 2);
    QWidget::resizeEvent(event);
}

QRectF ClippedImage::drawnRect() const
{
    if (m_phase == Phase::Failed)
        return rect();
    if (!m_pixmap.isNull())
        return fittedRect(m_pixmap.deviceIndependentSize(), rect());
    if (m_symbol)
        return fittedRect(m_symbol->defaultSize(), rect());
    return {};
}

void ClippedImage::paintContent(QPainter &painter) const
{
    if (m_phase == Phase::Failed) {
        painter.fillRect(rect(), Qt::red);
    } else if (!m_pixmap.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(drawnRect(), m_pixmap, m_pixmap.rect());
    } else if (m_symbol) {
        m_symbol->paint(painter, rect(), palette().color(foregroundRole()));
    }
}

void ClippedImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_cornerRadius <= 0)
        return paintContent(painter);
    // Drawn into a layer whose corners are then cut away with antialiasing;
    // a clip path would give stair-stepped corners.
    const qreal ratio = devicePixelRatioF();
    QImage layer(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        paintContent(layerPainter);
        QPainterPath outside;
        outside.addRect(rect());
        // Rounding the picture as drawn, a 4:3 frame in a square keeps round
        // corners, and the empty bands beside it stay empty.
        QPainterPath rounded;
        rounded.addRoundedRect(m_rounding == Rounding::DrawnPicture ? drawnRect() : QRectF(rect()), m_cornerRadius,
                               m_cornerRadius);
        layerPainter.setRenderHint(QPainter::Antialiasing);
        layerPainter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        layerPainter.fillPath(outside.subtracted(rounded), Qt::black);
    }
    painter.drawImage(QPointF(), layer);
}

} // namespace faciward::helpers
