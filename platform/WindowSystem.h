#pragma once
// The window system beyond what Qt offers.
//
// On X11 a window's system move or resize is a request to the window manager, which then takes the
// pointer until the button is released. A request that reaches the manager after the release (a quick
// click, a program busy for a moment) starts a move with no button held: the window follows the
// pointer until the next click. The program sees such a release itself, because the manager never
// took the pointer, and then withdraws the request with the window manager standard's cancel message.

class QWindow;

namespace platform {

// Withdraws a system move or resize requested for `window`. Does nothing where no X11 window
// manager is asked (Wayland, where the compositor checks the button itself, and other platforms).
void CancelSystemMoveResize(QWindow* window);

}  // namespace platform
