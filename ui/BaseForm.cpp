#include "ui/BaseForm.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

#include "lang/Language.h"
#include "lang/SystemLanguage.h"
#include "platform/WindowSystem.h"
#include "ui/Anchors.h"
#include "ui/SkinImage.h"
#include "ui/WindowTexts.h"

namespace ui {

namespace {

constexpr double kDesignDpi = 96.0;

bool inside(QPoint p, int left, int top, int right, int bottom) {
    return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom;
}

}  // namespace

int ResizeZoneAt(QPoint p, QSize client, const TResizeBorders& b) {
    const int w = client.width();
    const int h = client.height();
    if (inside(p, 0, 0, b.TopLeftWidth, b.TopLeftHeight)) return HTTOPLEFT;
    if (inside(p, w - b.BottomRightWidth, h - b.BottomRightHeight, w, h)) return HTBOTTOMRIGHT;
    if (inside(p, 0, h - b.BottomLeftHeight, b.BottomLeftWidth, h)) return HTBOTTOMLEFT;
    if (inside(p, w - b.TopRightWidth, 0, w, b.TopRightHeight)) return HTTOPRIGHT;
    if (inside(p, w - b.RightWidth, 0, w, h)) return HTRIGHT;
    if (inside(p, 0, 0, b.LeftWidth, h)) return HTLEFT;
    if (inside(p, 0, 0, w, b.TopHeight)) return HTTOP;
    if (inside(p, 0, h - b.BottomHeight, w, h)) return HTBOTTOM;
    return HTCLIENT;
}

Qt::Edges EdgesOfZone(int zone) {
    switch (zone) {
        case HTLEFT:
            return Qt::LeftEdge;
        case HTRIGHT:
            return Qt::RightEdge;
        case HTTOP:
            return Qt::TopEdge;
        case HTBOTTOM:
            return Qt::BottomEdge;
        case HTTOPLEFT:
            return Qt::TopEdge | Qt::LeftEdge;
        case HTTOPRIGHT:
            return Qt::TopEdge | Qt::RightEdge;
        case HTBOTTOMLEFT:
            return Qt::BottomEdge | Qt::LeftEdge;
        case HTBOTTOMRIGHT:
            return Qt::BottomEdge | Qt::RightEdge;
        default:
            return {};
    }
}

Qt::CursorShape CursorOfZone(int zone) {
    switch (zone) {
        case HTLEFT:
        case HTRIGHT:
            return Qt::SizeHorCursor;
        case HTTOP:
        case HTBOTTOM:
            return Qt::SizeVerCursor;
        case HTTOPLEFT:
        case HTBOTTOMRIGHT:
            return Qt::SizeFDiagCursor;
        case HTTOPRIGHT:
        case HTBOTTOMLEFT:
            return Qt::SizeBDiagCursor;
        default:
            return Qt::ArrowCursor;
    }
}

TBaseForm::TBaseForm(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    QFont design(QStringLiteral("Arial"));
    design.setPixelSize(11);
    setFont(design);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(70, 70, 70));
    setPalette(p);
}

TBaseForm::~TBaseForm() {
    if (zoneCursor_) QGuiApplication::restoreOverrideCursor();
}

void TBaseForm::FormCreate() {
    if (ScreenDpi() != kDesignDpi) {
        ScaleControls(ScaleFactor());
        AdjustForDpi();
    }
    SetFormFonts(lang::GetSystemDefaultLangID());
    ApplyFrameTexts();
    ApplyLanguage();
    AfterLanguage();
}

void TBaseForm::ApplyFrameTexts() {
    ApplyTextRows(*this, FrameTexts(), [this](const TTextRow& row) {
        return IsLanguageLoaded() ? Translate(QLatin1String(row.Key)) : EnglishText(row);
    });
}

bool TBaseForm::GetResizeBorders(TResizeBorders& /*borders*/) const {
    return false;
}

int TBaseForm::HitTest(QPoint clientPos) const {
    if (isMaximized()) return HTCLIENT;
    TResizeBorders borders;
    if (!GetResizeBorders(borders)) return HTCLIENT;
    return ResizeZoneAt(clientPos, size(), borders);
}

void TBaseForm::SetFormFonts(std::uint16_t languageId) {
    if (languageId == 1033 || languageId == 2052) return;
    const QString face = QStringLiteral("Tahoma");
    QFont own = font();
    own.setFamily(face);
    setFont(own);
    for (QWidget* control : findChildren<QWidget*>()) {
        // Controls that follow the window's font have it now; those with a font or a style sheet of
        // their own are set one by one.
        if (control->font().family() == face) continue;
        QFont f = control->font();
        f.setFamily(face);
        control->setFont(f);
    }
}

void TBaseForm::LayoutFrameImages(TSkinImage* left, TSkinImage* right, TSkinImage* top, TSkinImage* bottom,
                                  TSkinImage* topLeft, TSkinImage* topRight, TSkinImage* bottomLeft,
                                  TSkinImage* bottomRight) {
    const int w = width();
    const int h = height();
    const auto pictureWidth = [](const TSkinImage* image) { return LogicalSize(image->Picture()).width(); };
    const auto pictureHeight = [](const TSkinImage* image) { return LogicalSize(image->Picture()).height(); };
    SetBounds(left, 0, left->y(), pictureWidth(left), left->height());
    SetBounds(top, top->x(), 0, top->width(), pictureHeight(top));
    SetBounds(right, w - pictureWidth(right), right->y(), pictureWidth(right), right->height());
    SetBounds(bottom, bottom->x(), h - pictureHeight(bottom), bottom->width(), pictureHeight(bottom));
    for (TSkinImage* corner : {topLeft, topRight, bottomLeft, bottomRight}) corner->SetAutoSize(true);
    topLeft->move(0, 0);
    topRight->move(w - topRight->width(), 0);
    bottomLeft->move(0, h - bottomLeft->height());
    bottomRight->move(w - bottomRight->width(), h - bottomRight->height());
}

TSkinImage* TBaseForm::AddFrameImage(const char* name, const QString& picture, const QRect& bounds,
                                     TAnchors anchors, bool stretch) {
    auto* image = new TSkinImage(this);
    image->setObjectName(QLatin1String(name));
    image->SetPicture(SkinPixmap(picture));
    image->SetStretch(stretch);
    image->setGeometry(bounds);
    if (!stretch) image->SetAutoSize(true);
    SetAnchors(image, anchors);
    return image;
}

double TBaseForm::ScaleFactor() const {
    return ScreenDpi() / kDesignDpi;
}

int TBaseForm::ScaleValue(int n) const {
    return ScaleValue(n, ScaleFactor());
}

int TBaseForm::ScaleValue(int n, double scaleFactor) {
    if (scaleFactor == 1.0) return n;
    return static_cast<int>(std::floor(scaleFactor * n));
}

double TBaseForm::ScreenDpi() const {
    const QScreen* shown = screen();
    return shown ? shown->logicalDotsPerInch() : kDesignDpi;
}

bool TBaseForm::IsLanguageLoaded() const {
    return lang::Language->IsLoaded();
}

QString TBaseForm::Translate(const QString& key) const {
    return lang::LangText(key);
}

QString TBaseForm::GetLanguageId() const {
    return lang::Language->GetLanguageId();
}

void TBaseForm::StartSystemMove() {
    if (!std::exchange(moveArmed_, false)) return;
    handedOver_ = true;
    HandSystemMove();
}

void TBaseForm::HandSystemMove() {
    if (QWindow* window = windowHandle()) window->startSystemMove();
}

void TBaseForm::HandSystemResize(Qt::Edges edges) {
    if (QWindow* window = windowHandle()) window->startSystemResize(edges);
}

void TBaseForm::CancelSystemMoveResize() {
    platform::CancelSystemMoveResize(windowHandle());
}

void TBaseForm::ScaleControls(double factor) {
    const auto scaled = [factor](int v) { return static_cast<int>(std::lround(v * factor)); };
    const auto scaleFont = [&scaled](QWidget* w) {
        QFont f = w->font();
        if (f.pixelSize() > 0) {
            f.setPixelSize(scaled(f.pixelSize()));
            w->setFont(f);
        }
    };
    for (QWidget* control : findChildren<QWidget*>()) {
        if (control->isWindow()) continue;
        const QRect g = control->geometry();
        control->setGeometry(scaled(g.x()), scaled(g.y()), scaled(g.width()), scaled(g.height()));
        if (control->testAttribute(Qt::WA_SetFont)) scaleFont(control);
    }
    scaleFont(this);
    setMinimumSize(scaled(minimumWidth()), scaled(minimumHeight()));
    resize(scaled(width()), scaled(height()));
    RebaseAnchors(this);
}

void TBaseForm::setVisible(bool visible) {
    if (visible && !placed_) {
        placed_ = true;
        PlaceBeforeFirstShow();
    }
    QDialog::setVisible(visible);
}

void TBaseForm::PlaceBeforeFirstShow() {
    QWidget* owner = CentreOn() ? CentreOn()->window() : nullptr;
    if (owner == this || (owner && !owner->isVisible())) owner = nullptr;
    if (PlatformPlacesWindowsByPosition()) {
        if (const QScreen* shown = owner ? owner->screen() : screen()) {
            const QRect area = shown->availableGeometry();
            QRect placed(QPoint(), size());
            placed.moveCenter(owner ? owner->frameGeometry().center() : area.center());
            // On the screen, and the top left corner (the title strip) first when it is too large.
            placed.moveLeft(
                std::max(area.left(), std::min(placed.left(), area.right() + 1 - placed.width())));
            placed.moveTop(std::max(area.top(), std::min(placed.top(), area.bottom() + 1 - placed.height())));
            move(placed.topLeft());
        }
    }
    if (owner) {
        create();
        if (QWindow* own = windowHandle()) own->setTransientParent(owner->windowHandle());
    }
}

bool PlatformPlacesWindowsByPosition() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void TBaseForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    WatchWindow();
}

void TBaseForm::WatchWindow() {
    QWindow* window = windowHandle();
    if (window == watched_) return;
    if (watched_) watched_->removeEventFilter(this);
    watched_ = window;
    if (watched_) watched_->installEventFilter(this);
}

void TBaseForm::ShowZoneCursor(int zone) {
    if (zone == HTCLIENT) {
        if (zoneCursor_) QGuiApplication::restoreOverrideCursor();
        zoneCursor_.reset();
        return;
    }
    const Qt::CursorShape shape = CursorOfZone(zone);
    if (zoneCursor_ == shape) return;
    if (zoneCursor_)
        QGuiApplication::changeOverrideCursor(shape);
    else
        QGuiApplication::setOverrideCursor(shape);
    zoneCursor_ = shape;
}

// The window sees the mouse before any control does, so the zones win over the controls under them.
bool TBaseForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != watched_) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->buttons() == Qt::NoButton) ShowZoneCursor(HitTest(mouse->position().toPoint()));
            break;
        }
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) break;
            const int zone = HitTest(mouse->position().toPoint());
            moveArmed_ = zone == HTCLIENT;
            handedOver_ = zone != HTCLIENT;
            if (zone == HTCLIENT) break;
            HandSystemResize(EdgesOfZone(zone));
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
            moveArmed_ = false;
            if (std::exchange(handedOver_, false)) CancelSystemMoveResize();
            break;
        case QEvent::Leave:
            ShowZoneCursor(HTCLIENT);
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace ui
