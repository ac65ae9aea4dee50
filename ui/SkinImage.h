#pragma once
// The skin artwork (":/skin/<name>.png", with a twice-as-dense "@2x" twin for dense screens) and the
// image control of the window frame that shows one picture, stretched or at its own size.

#include <QPixmap>
#include <QString>
#include <QWidget>

namespace ui {

// The skin picture `name`, at the density of the screens in use. Null when there is no such picture.
QPixmap SkinPixmap(const QString& name);
// A picture's size in design pixels, whatever its density.
QSize LogicalSize(const QPixmap& pixmap);

class TSkinImage : public QWidget {
    Q_OBJECT

public:
    explicit TSkinImage(QWidget* parent = nullptr);

    void SetPicture(const QPixmap& picture);
    const QPixmap& Picture() const noexcept { return picture_; }

    // Stretched: the picture fills the control. Otherwise it is drawn at its own size at the top left.
    void SetStretch(bool stretch);
    bool Stretch() const noexcept { return stretch_; }
    // Auto size: the control takes the picture's size whenever the picture is set.
    void SetAutoSize(bool autoSize);
    bool AutoSize() const noexcept { return autoSize_; }

signals:
    // A mouse move over the image, at `pos` relative to it, with the buttons held.
    void MouseMoved(QPoint pos, Qt::MouseButtons buttons);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    bool stretch_ = false;
    bool autoSize_ = false;
};

}  // namespace ui
