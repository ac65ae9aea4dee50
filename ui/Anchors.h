#pragma once
// Anchors of controls placed in design pixels: a control keeps its distance to each edge of its
// parent that its anchors name. Anchored to left and right it stretches with the parent's width; to
// the right only it moves with the right edge; likewise for top and bottom.
//
// Changes of a parent's size are applied as differences to the children's current geometry, so a
// control that code has moved or resized in between keeps its new place. A resize made by code is
// applied at once through SetBounds/SetClientSize (Qt delivers resize events to hidden windows only
// when they are shown); a resize by the user arrives as an event and is applied then.

#include <QFlags>
#include <QRect>

class QWidget;

namespace ui {

enum class TAnchor { Left = 1, Top = 2, Right = 4, Bottom = 8 };
Q_DECLARE_FLAGS(TAnchors, TAnchor)
Q_DECLARE_OPERATORS_FOR_FLAGS(TAnchors)

inline constexpr TAnchors kAnchorsTopLeft = TAnchors(TAnchor::Left) | TAnchor::Top;
inline constexpr TAnchors kAnchorsAll =
    TAnchors(TAnchor::Left) | TAnchor::Top | TAnchor::Right | TAnchor::Bottom;

// Anchors `control` to its parent; the parent's size now is the reference. Replaces earlier anchors.
void SetAnchors(QWidget* control, TAnchors anchors);
// The anchors of `control`: top left when none were set.
TAnchors Anchors(const QWidget* control);

// Places `control` and applies the new size to its own anchored children.
void SetBounds(QWidget* control, const QRect& bounds);
void SetBounds(QWidget* control, int left, int top, int width, int height);
// Resizes a window and applies the change to its anchored children.
void SetClientSize(QWidget* window, int width, int height);
// Applies the difference between the parent's size now and the last size seen, recursively.
void ApplyAnchors(QWidget* parent);
// Takes the present sizes of `root` and of every widget inside it as the new reference, after code has
// scaled them all itself.
void RebaseAnchors(QWidget* root);

}  // namespace ui
