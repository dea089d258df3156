// Drawing of the open popup menus in the classic look: a raised frame, text items
// with their check mark, shortcut and sub-menu arrow, etched separators, the
// highlighted item in the highlight colours, and owner-drawn items drawn by the
// menu's owner. Installed in the window system with the rest of the drawing layer.
#pragma once

namespace platform::gdi {

void InstallMenuDrawing();

}  // namespace platform::gdi
