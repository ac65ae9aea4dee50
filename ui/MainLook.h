#pragma once
// What the main window and its panels share in how they look and are placed: colours, the font,
// anchored placement by design position, skinned image buttons and menus.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include "ui/Anchors.h"

class QLabel;
class QMenu;
class QWidget;

namespace ui {

class TOruButton;

inline const QColor kMainBackground(191, 197, 201);
inline const QColor kMainText(70, 70, 70);
inline const QColor kModeIdle(62, 85, 119);
inline const QColor kNoteBlue(0x1D, 0x4F, 0xA8);

inline constexpr TAnchors kLeftTop = kAnchorsTopLeft;
inline constexpr TAnchors kTopRight = TAnchors(TAnchor::Top) | TAnchor::Right;
inline constexpr TAnchors kLeftBottom = TAnchors(TAnchor::Left) | TAnchor::Bottom;
inline constexpr TAnchors kRightBottom = TAnchors(TAnchor::Right) | TAnchor::Bottom;
inline constexpr TAnchors kLeftTopRight = kAnchorsTopLeft | TAnchor::Right;
inline constexpr TAnchors kLeftRightBottom = TAnchors(TAnchor::Left) | TAnchor::Right | TAnchor::Bottom;

// Names `control`, puts it at its design bounds and anchors it.
template <class TControl>
TControl* Place(TControl* control, const char* name, const QRect& bounds, TAnchors anchors) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(bounds);
    SetAnchors(control, anchors);
    return control;
}

QFont Arial(int pixelSize, bool bold = false);
void SetTextColor(QWidget* control, const QColor& color);
// Sets a label's text and fits its width to it.
void SetLabel(QLabel* label, const QString& text);
// A button drawn from the skin picture `skin`.
TOruButton* ImageButton(QWidget* parent, const char* name, const QString& skin, const QRect& bounds,
                        TAnchors anchors);
// A menu in the window's style and font, named `name`.
QMenu* MakeMenu(const char* name, QWidget* parent);
// Blanks and control characters (codes up to 32) off both ends.
QString TrimControls(const QString& text);

}  // namespace ui
