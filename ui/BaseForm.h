#pragma once
// The base of every window: borderless, placed in design pixels at 96 dpi and scaled at other screen
// resolutions, fonts chosen by the system language, the language hook, resize zones at the edges of a
// borderless window, the window manager's move from a title strip, and where the window first appears.
//
// Moving and resizing are always the window manager's (startSystemMove/startSystemResize), started at
// most once per press: the manager owns the drag until the button is released, and the toolkit may
// never hear of that release, so a second start would leave the window glued to the pointer. The first
// position is set before the native window exists, so the window manager maps it there and the toolkit
// never has to learn it back from a reparenting race. Where the platform places windows itself
// (Wayland), nothing is placed by global coordinates.

#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "ui/Anchors.h"

class QWindow;

namespace ui {

class TSkinImage;

// Hit-test results, numbered as the system numbers them.
inline constexpr int HTCLIENT = 1;
inline constexpr int HTLEFT = 10;
inline constexpr int HTRIGHT = 11;
inline constexpr int HTTOP = 12;
inline constexpr int HTTOPLEFT = 13;
inline constexpr int HTTOPRIGHT = 14;
inline constexpr int HTBOTTOM = 15;
inline constexpr int HTBOTTOMLEFT = 16;
inline constexpr int HTBOTTOMRIGHT = 17;

// The widths of a window's resize zones, in client pixels.
struct TResizeBorders {
    std::int32_t LeftWidth = 0;
    std::int32_t RightWidth = 0;
    std::int32_t TopHeight = 0;
    std::int32_t BottomHeight = 0;
    std::int32_t TopLeftWidth = 0;
    std::int32_t TopLeftHeight = 0;
    std::int32_t BottomLeftWidth = 0;
    std::int32_t BottomLeftHeight = 0;
    std::int32_t TopRightWidth = 0;
    std::int32_t TopRightHeight = 0;
    std::int32_t BottomRightWidth = 0;
    std::int32_t BottomRightHeight = 0;
};

// The resize zone that holds `point` (client coordinates) in a client area of `client`, or HTCLIENT.
// Corners are tested before edges; right and bottom edges of each zone are exclusive.
int ResizeZoneAt(QPoint point, QSize client, const TResizeBorders& borders);
// The window edges a zone resizes (none for HTCLIENT), and the cursor it shows.
Qt::Edges EdgesOfZone(int zone);
Qt::CursorShape CursorOfZone(int zone);

// Modal results.
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;

class TBaseForm : public QDialog {
    Q_OBJECT

public:
    explicit TBaseForm(QWidget* parent = nullptr);
    ~TBaseForm() override;

    // The creation steps, run once after the whole window is built (CreateForm does it): at a screen
    // other than 96 dpi the controls are scaled and AdjustForDpi runs; then the fonts by system
    // language, ApplyLanguage and AfterLanguage.
    virtual void FormCreate();

    // Puts the current language's texts on the window.
    virtual void ApplyLanguage() {}
    // The names of the window buttons (FrameTexts) in the loaded language, or English.
    void ApplyFrameTexts();
    // Runs right after ApplyLanguage.
    virtual void AfterLanguage() {}
    // Puts fixed-size frame parts back in place after the window has been scaled.
    virtual void AdjustForDpi() {}
    // The resize zones of the window; false when it has none (the default).
    virtual bool GetResizeBorders(TResizeBorders& borders) const;

    // The hit test of the borderless window: a resize zone, or HTCLIENT. No zones while maximised.
    int HitTest(QPoint clientPos) const;

    // Fonts by system language identifier: English (United States) and Chinese (simplified) keep the
    // design face; Japanese, Korean, Russian and every other language take "Tahoma". The face is set on
    // the window and on every control that has a font of its own. (Qt picks the glyphs of a script by
    // itself; a character set has no counterpart here.)
    void SetFormFonts(std::uint16_t languageId);

    // Places the eight frame images at the window's edges and corners.
    void LayoutFrameImages(TSkinImage* left, TSkinImage* right, TSkinImage* top, TSkinImage* bottom,
                           TSkinImage* topLeft, TSkinImage* topRight, TSkinImage* bottomLeft,
                           TSkinImage* bottomRight);

    // The screen's pixels per inch divided by 96.
    double ScaleFactor() const;
    // `n` at 96 dpi, otherwise the floor of ScaleFactor × n.
    int ScaleValue(int n) const;
    static int ScaleValue(int n, double scaleFactor);
    // The logical pixels per inch of the window's screen.
    virtual double ScreenDpi() const;

    // Shows or hides the window; the first show places it beforehand (see CentreOn).
    void setVisible(bool visible) override;

    // Language lookups.
    bool IsLanguageLoaded() const;
    QString Translate(const QString& key) const;
    QString GetLanguageId() const;

protected:
    // A frame image of the skin picture `picture`: stretched over `bounds`, or at the picture's own size.
    TSkinImage* AddFrameImage(const char* name, const QString& picture, const QRect& bounds, TAnchors anchors,
                              bool stretch);

    // The window manager's move, for a drag on a title strip: starts it on the first call after a press
    // of the left button on this window, and does nothing on every other call until the next press.
    void StartSystemMove();
    // Hand the window to the window manager's move, or to its resize at `edges`, and withdraw what was
    // handed over when this window still sees the release (the manager never took the drag). Overridden
    // by tests.
    virtual void HandSystemMove();
    virtual void HandSystemResize(Qt::Edges edges);
    virtual void CancelSystemMoveResize();

    // Where the window first appears: centred on `CentreOn`'s window when it is shown, otherwise on
    // the screen, kept inside the screen's available area. A window given by CentreOn also becomes
    // this one's transient parent, so window managers and compositors keep it above that window.
    virtual QWidget* CentreOn() const { return nullptr; }

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ScaleControls(double factor);
    void PlaceBeforeFirstShow();
    void WatchWindow();
    void ShowZoneCursor(int zone);

    QWindow* watched_ = nullptr;
    std::optional<Qt::CursorShape> zoneCursor_;
    bool placed_ = false;
    bool moveArmed_ = false;   // a left press on the window that has not handed a move over yet
    bool handedOver_ = false;  // this press handed a move or resize to the window manager
};

// False where the platform places every window itself and gives programs no global positions
// (Wayland): there a window is never moved or centred by coordinates.
bool PlatformPlacesWindowsByPosition();

// Builds a window and runs its creation steps.
template <class TForm, class... Args>
std::unique_ptr<TForm> CreateForm(Args&&... args) {
    auto form = std::make_unique<TForm>(std::forward<Args>(args)...);
    form->FormCreate();
    return form;
}

}  // namespace ui
