#include "ImageBox.h"

#include "DevicePixels.h"
#include "JpegImage.h"

#include <QFile>
#include <QPainter>

// Outside any namespace: the resources of a static library are registered by
// name, once, before the first picture is read from them.
static void InitResources() { Q_INIT_RESOURCE(quelmora); }

TImageBox::TImageBox(QWidget* parent) : QWidget(parent) {}

void TImageBox::setPictureResource(const QString& path) {
    static const bool registered = (InitResources(), true);
    (void)registered;
    resource_ = path;
    QImage image;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (path.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) ||
            path.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive))
            image = DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size()));
        else
            image.loadFromData(bytes);
    }
    SetPicture(image);
}

void TImageBox::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TImageBox::setStretch(bool stretch) {
    if (stretch_ == stretch) return;
    stretch_ = stretch;
    update();
}

void TImageBox::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    if (stretch_) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(rect(), picture_);
    } else {
        // At its own size in the screen's pixels, one to one, whatever the
        // device pixel ratio; the painter clips to the box.
        UseDevicePixels(painter, devicePixelRatioF());
        painter.drawImage(0, 0, picture_);
    }
}
