#include "platform/win/cursors.h"

#include <algorithm>
#include <atomic>
#include <iterator>

#include "platform/base/errors.h"

namespace {

constexpr int kSystemCursors[] = {IDC_ARROW, IDC_IBEAM, IDC_WAIT, IDC_CROSS, IDC_SIZEWE, IDC_SIZENS, IDC_NO, IDC_HAND};

// One pointer for the whole screen, set from any thread.
std::atomic<HCURSOR> current{IDC_ARROW};

}  // namespace

HCURSOR LoadCursorW(HINSTANCE instance, int id) {
  if (instance != 0 || std::find(std::begin(kSystemCursors), std::end(kSystemCursors), id) == std::end(kSystemCursors)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  return static_cast<HCURSOR>(id);
}

HCURSOR SetCursor(HCURSOR cursor) { return current.exchange(cursor); }

HCURSOR GetCursor() { return current.load(); }
