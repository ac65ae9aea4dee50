#pragma once
// The image button of title bars, tool bars and dialogs: a face per state (up, hot, down, disabled)
// with an optional caption on it. A stretched face keeps a number of pixels at each end as drawn and
// stretches only the middle, so rounded ends stay round at any width.

#include <QAbstractButton>
#include <QPixmap>

namespace ui {

struct TOruBitmaps {
    QPixmap Up;
    QPixmap Hot;
    QPixmap Down;
    QPixmap Disabled;
};

class TOruButton : public QAbstractButton {
    Q_OBJECT

public:
    enum class TFaceState { Up, Hot, Down, Disabled };

    explicit TOruButton(QWidget* parent = nullptr);

    // The faces; a missing hot, down or disabled face falls back to the up face.
    void SetBitmaps(const TOruBitmaps& bitmaps);
    const TOruBitmaps& Bitmaps() const noexcept { return bitmaps_; }
    // The skin pictures "<name>_up", "<name>_hot", "<name>_down" and "<name>_disabled".
    void SetSkin(const QString& name);

    void SetCaption(const QString& caption) { setText(caption); }
    QString Caption() const { return text(); }
    // Horizontal offset of the caption from the centre, in pixels.
    void SetOffX(int offX);
    int OffX() const noexcept { return offX_; }
    // The button takes its up face's size.
    void SetAutoSize(bool autoSize);
    bool AutoSize() const noexcept { return autoSize_; }
    // The face fills the button, keeping `keepLeft` and `keepRight` pixels at its ends unstretched.
    void SetStretch(bool stretch, int keepLeft = 0, int keepRight = 0);
    bool Stretch() const noexcept { return stretch_; }
    int StretchKeepL() const noexcept { return keepLeft_; }
    int StretchKeepR() const noexcept { return keepRight_; }
    // The caption's colour (the palette's button text colour).
    void SetCaptionColor(const QColor& color);
    QColor CaptionColor() const;

    // The state whose face is shown now.
    TFaceState FaceState() const;
    const QPixmap& Face(TFaceState state) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TOruBitmaps bitmaps_;
    int offX_ = 0;
    bool autoSize_ = false;
    bool stretch_ = false;
    int keepLeft_ = 0;
    int keepRight_ = 0;
    bool hot_ = false;
};

// Draws `face` into `target`, keeping `keepLeft`/`keepRight` design pixels at its ends and stretching
// the middle (and the whole height). Shared by the button and the tests of what it draws.
void DrawStretchedFace(QPainter& painter, const QRect& target, const QPixmap& face, int keepLeft,
                       int keepRight);

// The mark of the control that has the keyboard focus, drawn over it, the same on every skinned control.
void DrawFocusMark(QPainter& painter, const QRect& area);

}  // namespace ui
