#pragma once
// The window system beyond what Qt offers.
//
// On X11 a window's system move or resize is a request to the window manager, which then takes the
// pointer until the button is released. A request that reaches the manager after the release (a quick
// click, a program busy for a moment) starts a move with no button held: the window follows the
// pointer until the next click. The program sees such a release itself, because the manager never
// took the pointer, and then withdraws the request with the window manager standard's cancel message.

class QString;
class QWindow;

namespace platform {

// Withdraws a system move or resize requested for `window`. Does nothing where no X11 window
// manager is asked (Wayland, where the compositor checks the button itself, and other platforms).
void CancelSystemMoveResize(QWindow* window);

// Lets the next activateWindow() of `window` take the focus on the strength of `token`, the start-up
// token that the desktop gave a later start of the program (XDG_ACTIVATION_TOKEN on Wayland,
// DESKTOP_STARTUP_ID on X11): window managers that prevent focus stealing accept an activation that
// follows from the user's own launch. On X11 it also ends that launch's busy pointer, since the start
// that carried the token never shows a window. Without a token nothing happens.
void UseActivationToken(QWindow* window, const QString& token);

}  // namespace platform
