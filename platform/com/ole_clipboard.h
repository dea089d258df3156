// The OLE clipboard: a data object put on the window system's clipboard. Its formats
// in global memory are offered there and rendered only when someone asks (a text
// control, or the desktop's clipboard through the window system's clipboard), and
// the object is held until something else takes the clipboard or it is flushed.
// Asking for the clipboard's object answers the object put there by this process,
// or otherwise a data object that reads the window system's clipboard.
#pragma once

#include "platform/com/data_object.h"

inline constexpr HRESULT CLIPBRD_E_CANT_OPEN = MakeHResult(0x800401D0);

// Null clears the clipboard when it holds an object of this process. Fails with
// CLIPBRD_E_CANT_OPEN while another thread has the clipboard open.
HRESULT OleSetClipboard(IDataObject* data);
HRESULT OleGetClipboard(IDataObject** data);
// Renders every offered global-memory format onto the clipboard, where it stays, and
// lets the object go. S_OK also when no object of this process is there.
HRESULT OleFlushClipboard();
// S_OK when `data` is the object on the clipboard, else S_FALSE.
HRESULT OleIsCurrentClipboard(IDataObject* data);
