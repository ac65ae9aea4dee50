#pragma once
// What a screen reader hears of the skinned controls: Qt reads its own widgets well, but an image
// button would be a plain button (a mode tab a check box), a link label plain text, and the main
// window a dialog. Installed once, before any window is built.

namespace ui {

// Registers the accessible views of the skinned controls with Qt's accessibility.
void InstallAccessibility();

}  // namespace ui
