#include "ui/BaseUIForm.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWindow>

#include "settings/AppFolders.h"
#include "ui/Anchors.h"
#include "ui/GuiUtility.h"
#include "ui/OruButton.h"
#include "ui/SkinImage.h"

namespace ui {

namespace {

constexpr int kRoundCorners = 10;

TOruButton* dialogButton(QWidget* parent, const char* name, const QString& caption, QRect bounds) {
    auto* button = new TOruButton(parent);
    button->setObjectName(QLatin1String(name));
    button->SetSkin(QStringLiteral("dlg_button"));
    button->SetStretch(true, 4, 4);
    button->SetCaption(caption);
    button->SetCaptionColor(Qt::black);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setGeometry(bounds);
    SetAnchors(button, TAnchors(TAnchor::Right) | TAnchor::Bottom);
    return button;
}

}  // namespace

TBaseUIForm::TBaseUIForm(QWidget* parent) : TBaseForm(parent), centreOn_(QApplication::activeWindow()) {
    resize(507, 440);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(191, 197, 201));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    QFont design = font();
    design.setPixelSize(12);
    setFont(design);

    const TAnchors leftTop = kAnchorsTopLeft;
    const TAnchors topRight = TAnchors(TAnchor::Top) | TAnchor::Right;
    // Edges first, corners over them, every other control over both.
    imgTop =
        AddFrameImage("imgTop", QStringLiteral("dlg_top"), {0, 0, 507, 28}, leftTop | TAnchor::Right, true);
    imgLeft =
        AddFrameImage("imgLeft", QStringLiteral("dlg_left"), {0, 0, 5, 440}, leftTop | TAnchor::Bottom, true);
    imgRight = AddFrameImage("imgRight", QStringLiteral("dlg_right"), {502, 0, 5, 440},
                             topRight | TAnchor::Bottom, true);
    imgBottom = AddFrameImage("imgBottom", QStringLiteral("dlg_bottom"), {0, 435, 507, 5},
                              TAnchors(TAnchor::Left) | TAnchor::Right | TAnchor::Bottom, true);
    imgTopLeft = AddFrameImage("imgTopLeft", QStringLiteral("dlg_topleft"), {0, 0, 32, 28}, leftTop, false);
    imgTopRight =
        AddFrameImage("imgTopRight", QStringLiteral("dlg_topright"), {499, 0, 8, 28}, topRight, false);
    imgBottomLeft = AddFrameImage("imgBottomLeft", QStringLiteral("dlg_bottomleft"), {0, 435, 5, 5},
                                  TAnchors(TAnchor::Left) | TAnchor::Bottom, false);
    imgBottomRight = AddFrameImage("imgBottomRight", QStringLiteral("dlg_bottomright"), {502, 435, 5, 5},
                                   TAnchors(TAnchor::Right) | TAnchor::Bottom, false);

    lblCaption = new QLabel(settings::DisplayName(), this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    QFont captionFont(QStringLiteral("Arial"));
    captionFont.setPixelSize(12);
    captionFont.setBold(true);
    lblCaption->setFont(captionFont);
    QPalette white = lblCaption->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    lblCaption->setPalette(white);
    lblCaption->move(40, 5);
    lblCaption->adjustSize();
    lblCaption->installEventFilter(this);
    SetAnchors(lblCaption, leftTop);

    btnMin = new TOruButton(this);
    btnMin->setObjectName(QStringLiteral("btnMin"));
    btnMin->SetSkin(QStringLiteral("dlg_min"));
    btnMin->setGeometry(408, 3, 29, 26);
    btnMin->hide();
    SetAnchors(btnMin, topRight);
    btnMax = new TOruButton(this);
    btnMax->setObjectName(QStringLiteral("btnMax"));
    btnMax->SetSkin(QStringLiteral("dlg_max"));
    btnMax->setGeometry(437, 3, 27, 27);
    btnMax->hide();
    SetAnchors(btnMax, topRight);
    btnCloseMe = new TOruButton(this);
    btnCloseMe->setObjectName(QStringLiteral("btnCloseMe"));
    btnCloseMe->SetSkin(QStringLiteral("close"));
    btnCloseMe->setGeometry(471, 3, 28, 18);
    SetAnchors(btnCloseMe, topRight);

    // Cancel comes first in the tab order.
    btnCancelMe = dialogButton(this, "btnCancelMe", QStringLiteral("Cancel"), {401, 398, 78, 23});
    btnOkMe = dialogButton(this, "btnOkMe", QStringLiteral("OK"), {306, 398, 78, 23});
    setTabOrder(btnCancelMe, btnOkMe);

    connect(imgTop, &TSkinImage::MouseMoved, this, &TBaseUIForm::imgTopMouseMove);
    connect(imgTopLeft, &TSkinImage::MouseMoved, this, &TBaseUIForm::imgTopMouseMove);
    connect(btnMin, &TOruButton::clicked, this, &TBaseUIForm::btnMinClick);
    connect(btnMax, &TOruButton::clicked, this, &TBaseUIForm::btnMaxClick);
    connect(btnCloseMe, &TOruButton::clicked, this, &TBaseUIForm::btnCloseMeClick);
    connect(btnOkMe, &TOruButton::clicked, this, &TBaseUIForm::btnOkMeClick);
    connect(btnCancelMe, &TOruButton::clicked, this, &TBaseUIForm::btnCancelMeClick);
}

void TBaseUIForm::FormCreate() {
    TBaseForm::FormCreate();
    MakeRoundRectForm(this, kRoundCorners);
}

void TBaseUIForm::AdjustForDpi() {
    LayoutFrameImages(imgLeft, imgRight, imgTop, imgBottom, imgTopLeft, imgTopRight, imgBottomLeft,
                      imgBottomRight);
    lblCaption->move(lblCaption->x(), 4);
    btnCloseMe->move(width() - 34, 4);
}

int TBaseUIForm::ShowModal() {
    // A dialog without a parent is a window of its own. Wayland lets no program place its windows:
    // tied to the window it belongs to, the dialog sits over that one. X11 window managers take our
    // placement, and some move a transient dialog on their own terms, so there it stays as it was.
    if (centreOn_ && !parentWidget() &&
        QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        winId();
        if (QWindow* owner = centreOn_->window()->windowHandle(); owner && windowHandle())
            windowHandle()->setTransientParent(owner);
    }
    return exec();
}

void TBaseUIForm::reject() {
    done(mrCancel);
}

void TBaseUIForm::imgTopMouseMove(QPoint pos, Qt::MouseButtons buttons) {
    // The window manager takes over a move only while the button is down.
    if (buttons & Qt::LeftButton && pos.y() <= kDialogTitleHeight) StartSystemMove();
}

void TBaseUIForm::lblCaptionMouseMove(Qt::MouseButtons buttons) {
    if (buttons & Qt::LeftButton) StartSystemMove();
}

void TBaseUIForm::btnMinClick() {
    showMinimized();
}

void TBaseUIForm::btnMaxClick() {
    showMaximized();
}

void TBaseUIForm::btnCloseMeClick() {
    close();
}

void TBaseUIForm::btnOkMeClick() {
    done(mrOk);
}

void TBaseUIForm::btnCancelMeClick() {
    done(mrCancel);
}

void TBaseUIForm::FormKeyDown(QKeyEvent* event) {
    const Qt::KeyboardModifiers held =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (held == Qt::NoModifier) close();
}

void TBaseUIForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        // Only a plain Escape closes; with Shift, Ctrl or Alt it does nothing at all.
        FormKeyDown(event);
        event->accept();
        return;
    }
    // Return presses the focused image button, as it would a push button; elsewhere it confirms.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        TOruButton* button = qobject_cast<TOruButton*>(focusWidget());
        if (button == nullptr || !button->isVisible()) button = DefaultButton();
        if (button != nullptr && button->isVisible() && button->isEnabled()) {
            button->click();
            event->accept();
            return;
        }
    }
    TBaseForm::keyPressEvent(event);
}

void TBaseUIForm::showEvent(QShowEvent* event) {
    setWindowTitle(lblCaption->text());
    TBaseForm::showEvent(event);
    // The dialog opens on its confirmation, not on the title bar's close button that comes first.
    if (TOruButton* button = DefaultButton(); button != nullptr && button->isVisible()) button->setFocus();
}

void TBaseUIForm::resizeEvent(QResizeEvent* event) {
    TBaseForm::resizeEvent(event);
    MakeRoundRectForm(this, kRoundCorners);
}

bool TBaseUIForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblCaption &&
        (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress)) {
        lblCaptionMouseMove(static_cast<QMouseEvent*>(event)->buttons());
    }
    return TBaseForm::eventFilter(watched, event);
}

}  // namespace ui
