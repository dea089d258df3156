// What the per-window watcher needs of the floating button windows, which live on the
// main thread and belong to the main window. The main window implements it and
// installs it at start-up; until then nothing is bound, nothing is visible and no
// window exists. A floating window travels as its object id (the main window's answer
// to command 0).
#pragma once

#include <string>

#include "platform/base/object_registry.h"
#include "platform/base/types.h"

namespace formfill {

class TFloatButtons {
 public:
  virtual ~TFloatButtons() = default;
  // Gives the floating window its watcher and, with Start, starts it (places and shows
  // it). Called from the watcher's thread; the implementation carries both out on the
  // main thread, where every floating window is touched.
  virtual void Bind(platform::ObjectId floatForm, platform::ObjectId watcher, bool start) = 0;
  // Gives the floating window the host toolbar's client id of its browser (main thread
  // likewise).
  virtual void SetClientID(platform::ObjectId floatForm, const std::u16string& clientId) = 0;
  virtual bool IsVisible(platform::ObjectId floatForm) = 0;
  // The floating window's handle; 0 when it is gone.
  virtual HWND Handle(platform::ObjectId floatForm) = 0;
};

// Not owned; the installer keeps it alive until it installs another or nullptr.
void InstallFloatButtons(TFloatButtons* buttons);
TFloatButtons* FloatButtons();

}  // namespace formfill
