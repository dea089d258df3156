// Drawing of the window system's standard controls (edits, combo boxes and their
// lists, buttons, check boxes, radio buttons, group boxes, statics) in the classic
// look with the system colours. Installed in the window system when the drawing
// layer is part of the program.
#pragma once

namespace platform::gdi {

void InstallStdControlDrawing();

}  // namespace platform::gdi
