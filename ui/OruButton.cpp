#include "ui/OruButton.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

#include "ui/SkinImage.h"

namespace ui {

TOruButton::TOruButton(QWidget* parent) : QAbstractButton(parent) {
    // Every image button is reached with Tab and pressed with Space or Return.
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

void TOruButton::SetBitmaps(const TOruBitmaps& bitmaps) {
    bitmaps_ = bitmaps;
    if (autoSize_ && !bitmaps_.Up.isNull()) resize(LogicalSize(bitmaps_.Up));
    updateGeometry();
    update();
}

void TOruButton::SetSkin(const QString& name) {
    SetBitmaps({SkinPixmap(name + QStringLiteral("_up")), SkinPixmap(name + QStringLiteral("_hot")),
                SkinPixmap(name + QStringLiteral("_down")), SkinPixmap(name + QStringLiteral("_disabled"))});
}

void TOruButton::SetOffX(int offX) {
    offX_ = offX;
    update();
}

void TOruButton::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    if (autoSize_ && !bitmaps_.Up.isNull()) resize(LogicalSize(bitmaps_.Up));
}

void TOruButton::SetStretch(bool stretch, int keepLeft, int keepRight) {
    stretch_ = stretch;
    keepLeft_ = std::max(0, keepLeft);
    keepRight_ = std::max(0, keepRight);
    update();
}

void TOruButton::SetCaptionColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::ButtonText, color);
    setPalette(p);
}

QColor TOruButton::CaptionColor() const {
    return palette().color(QPalette::ButtonText);
}

TOruButton::TFaceState TOruButton::FaceState() const {
    if (!isEnabled()) return TFaceState::Disabled;
    if (isDown() || isChecked()) return TFaceState::Down;
    if (hot_) return TFaceState::Hot;
    return TFaceState::Up;
}

const QPixmap& TOruButton::Face(TFaceState state) const {
    const QPixmap* face = &bitmaps_.Up;
    switch (state) {
        case TFaceState::Hot:
            face = &bitmaps_.Hot;
            break;
        case TFaceState::Down:
            face = &bitmaps_.Down;
            break;
        case TFaceState::Disabled:
            face = &bitmaps_.Disabled;
            break;
        case TFaceState::Up:
            break;
    }
    return face->isNull() ? bitmaps_.Up : *face;
}

QSize TOruButton::sizeHint() const {
    return bitmaps_.Up.isNull() ? QSize(24, 24) : LogicalSize(bitmaps_.Up);
}

void DrawStretchedFace(QPainter& painter, const QRect& target, const QPixmap& face, int keepLeft,
                       int keepRight) {
    if (face.isNull() || target.isEmpty()) return;
    const QSize logical = LogicalSize(face);
    const qreal dpr = face.devicePixelRatio();
    // Ends wider than the face or the target shrink to fit, keeping their proportion.
    int left = std::min(keepLeft, logical.width());
    int right = std::min(keepRight, logical.width() - left);
    if (left + right > target.width()) {
        const double scale = static_cast<double>(target.width()) / (left + right);
        left = static_cast<int>(left * scale);
        right = target.width() - left;
    }
    const auto source = [dpr, &logical](int x, int width) {
        return QRectF(x * dpr, 0, width * dpr, logical.height() * dpr);
    };
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (left > 0)
        painter.drawPixmap(QRectF(target.left(), target.top(), left, target.height()), face, source(0, left));
    const int middleSource = logical.width() - left - right;
    const int middleTarget = target.width() - left - right;
    if (middleSource > 0 && middleTarget > 0)
        painter.drawPixmap(QRectF(target.left() + left, target.top(), middleTarget, target.height()), face,
                           source(left, middleSource));
    if (right > 0)
        painter.drawPixmap(QRectF(target.right() + 1 - right, target.top(), right, target.height()), face,
                           source(logical.width() - right, right));
}

void TOruButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QPixmap& face = Face(FaceState());
    if (stretch_) {
        DrawStretchedFace(painter, rect(), face, keepLeft_, keepRight_);
    } else if (!face.isNull()) {
        painter.drawPixmap(QPoint(0, 0), face);
    }
    if (!text().isEmpty()) {
        painter.setFont(font());
        painter.setPen(isEnabled() ? CaptionColor()
                                   : palette().color(QPalette::Disabled, QPalette::ButtonText));
        // A pressed face is drawn one pixel lower; the caption follows it.
        const int sink = FaceState() == TFaceState::Down && !isCheckable() ? 1 : 0;
        painter.drawText(rect().translated(offX_, sink), Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    if (hasFocus()) DrawFocusMark(painter, rect());
}

void TOruButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void DrawFocusMark(QPainter& painter, const QRect& area) {
    // The skin's faces are dark blue, light grey and white: amber stands out on every one of them.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 176, 0), 2));
    painter.drawRoundedRect(QRectF(area).adjusted(1, 1, -1, -1), 3, 3);
    painter.restore();
}

void TOruButton::enterEvent(QEnterEvent* event) {
    hot_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TOruButton::leaveEvent(QEvent* event) {
    hot_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace ui
