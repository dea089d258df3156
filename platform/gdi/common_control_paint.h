// Pictures of the common controls (list view, tool bar, tab control, up-down): each
// paints from what its own messages report, in the system colours and the window's
// font. Installing hands the painting and the text measurement to the controls.
#pragma once

namespace platform::gdi {

// Idempotent; the class library calls it where it makes the controls' classes ready.
void InstallCommonControlDrawing();

}  // namespace platform::gdi
