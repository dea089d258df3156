// The table of the program's floating button windows: one per watched browser window,
// made on the watcher's request, filed under its own window handle in eight hex digits
// and reachable by an object id, freed when released.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formfill/float_form.h"
#include "platform/base/object_registry.h"
#include "platform/base/types.h"

// What the table needs of a floating button window.
class TFloatWindow {
 public:
  virtual ~TFloatWindow() = default;
  virtual HWND Handle() const = 0;
  virtual void UpdatePosition(bool force) = 0;
  virtual void HideFloat() = 0;
};
// Makes the floating window of a browser window; null when none can be made.
using TFloatFactory = std::function<std::unique_ptr<TFloatWindow>(HWND browserWindow)>;

// The program's own floating button windows.
std::unique_ptr<TFloatWindow> MakeFloatFormWindow(HWND browser);

// The floating window's handle as the table's key: eight upper-case hex digits.
std::u16string FloatKey(HWND window);

// Main thread only. Owns the windows; the watchers reach them through the button table
// it installs while it lives.
class TFloatWindows {
 public:
  TFloatWindows();
  ~TFloatWindows();
  TFloatWindows(const TFloatWindows&) = delete;
  TFloatWindows& operator=(const TFloatWindows&) = delete;

  void SetFactory(TFloatFactory factory) { factory_ = std::move(factory); }
  // Makes and files the window of a browser window; its id, 0 when none was made.
  platform::ObjectId Create(HWND browserWindow);
  // Takes the window with that handle out of the table, hides and frees it.
  void Release(HWND floatWindow);
  // The window filed under the id, or null.
  TFloatWindow* Find(platform::ObjectId id) const;
  // Puts every window in place (not forced); a call from inside one does nothing.
  void UpdatePositions();
  std::size_t Count() const { return entries_.size(); }

 private:
  struct Entry {
    std::u16string Key;
    std::shared_ptr<TFloatWindow> Form;
    platform::ObjectId Id;
  };
  TFloatFactory factory_;
  std::vector<Entry> entries_;
  formfill::TFloatButtonTable buttons_;
  bool positionBusy_ = false;
};
