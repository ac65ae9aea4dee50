#include "ui/SkinImage.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>

namespace ui {

QPixmap SkinPixmap(const QString& name) {
    const bool dense = qGuiApp != nullptr && qGuiApp->devicePixelRatio() > 1.0;
    const QString key = QStringLiteral("velmora-skin:") + name + (dense ? QStringLiteral("@2x") : QString());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) return pixmap;
    const QString base = QStringLiteral(":/skin/") + name;
    if (dense && pixmap.load(base + QStringLiteral("@2x.png"))) {
        pixmap.setDevicePixelRatio(2.0);
    } else if (!pixmap.load(base + QStringLiteral(".png"))) {
        return {};
    }
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QSize LogicalSize(const QPixmap& pixmap) {
    return pixmap.deviceIndependentSize().toSize();
}

TSkinImage::TSkinImage(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
}

void TSkinImage::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    if (autoSize_ && !picture_.isNull()) resize(LogicalSize(picture_));
    update();
}

void TSkinImage::SetStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void TSkinImage::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    if (autoSize_ && !picture_.isNull()) resize(LogicalSize(picture_));
}

void TSkinImage::paintEvent(QPaintEvent* /*event*/) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    if (stretch_) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(rect(), picture_);
    } else {
        painter.drawPixmap(QPoint(0, 0), picture_);
    }
}

void TSkinImage::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMoved(event->position().toPoint(), event->buttons());
    QWidget::mouseMoveEvent(event);
}

void TSkinImage::mousePressEvent(QMouseEvent* event) {
    // A press starts the move at once: the window manager needs the button down to take over.
    emit MouseMoved(event->position().toPoint(), event->buttons());
    QWidget::mousePressEvent(event);
}

}  // namespace ui
