#pragma once
// The skinned dialog: a title strip with caption and close button, drawn edges with rounded corners,
// OK and Cancel buttons; moved by its title strip; Escape and the close button mean Cancel. Designed
// at 507 × 440; a dialog built on it resizes itself and its frame parts follow their anchors.

#include <QPointer>

#include "ui/BaseForm.h"

class QLabel;

namespace ui {

class TOruButton;
class TSkinImage;

class TBaseUIForm : public TBaseForm {
    Q_OBJECT

public:
    explicit TBaseUIForm(QWidget* parent = nullptr);

    void FormCreate() override;
    void AdjustForDpi() override;

    // Shows the dialog modally, centred on (and kept above) the window that was active when it was
    // created; returns the modal result (mrOk, mrCancel).
    int ShowModal();

    void reject() override;

    TSkinImage* imgTop;
    TSkinImage* imgLeft;
    TSkinImage* imgRight;
    TSkinImage* imgBottom;
    TSkinImage* imgTopLeft;
    TSkinImage* imgTopRight;
    TSkinImage* imgBottomLeft;
    TSkinImage* imgBottomRight;
    QLabel* lblCaption;
    TOruButton* btnMin;
    TOruButton* btnMax;
    TOruButton* btnCloseMe;
    TOruButton* btnOkMe;
    TOruButton* btnCancelMe;

protected:
    void imgTopMouseMove(QPoint pos, Qt::MouseButtons buttons);
    void lblCaptionMouseMove(Qt::MouseButtons buttons);
    void btnMinClick();
    void btnMaxClick();
    void btnCloseMeClick();
    void btnOkMeClick();
    void btnCancelMeClick();
    void FormKeyDown(QKeyEvent* event);
    // What Return presses when the focus is not on a button: the dialog's confirmation.
    virtual TOruButton* DefaultButton() const { return btnOkMe; }

    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The window's title is its caption, so the taskbar and the window switcher name the dialog.
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QWidget* CentreOn() const override { return centreOn_; }

private:
    QPointer<QWidget> centreOn_;
};

// The height of the title strip within which a drag on the strip moves the window.
inline constexpr int kDialogTitleHeight = 28;

}  // namespace ui
