// The floating button: a small borderless window with per-pixel alpha that floats over
// the top edge of a browser window and offers a fill button, a menu arrow that opens
// the whole application menu, and a settings button. The user drags it anywhere
// relative to its browser window; the offsets are kept for buttons made later and
// written to the settings when the drag ends.
//
// Threads: every floating window lives on the main thread, where the main window makes
// and frees them. The watchers reach them only through TFloatButtons (TFloatButtonTable),
// whose calls from other threads touch a table of handles and post to the window; they
// never hold a floating window.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "controls/unicode/uni_menus.h"
#include "formfill/float_buttons.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/icons.h"
#include "platform/gdi/device_context.h"

namespace formfill {

// Offsets of a floating window from its browser window's edges; a non-zero right or
// bottom offset takes precedence over the left or top one.
struct TFloatOffsets {
  std::int32_t Left = 0;
  std::int32_t Top = 2;
  std::int32_t Right = 200;
  std::int32_t Bottom = 0;
  bool operator==(const TFloatOffsets&) const = default;
};

// The offsets new floating windows start with (main thread): the settings POS_L,
// POS_T, POS_R and POS_B as loaded, then those of the last drag.
TFloatOffsets& FloatOffsets();

// The main window's operations that the floating window calls, each with the browser's
// window first. The main window implements it and installs it at start-up.
class TFloatFormOwner {
 public:
  virtual ~TFloatFormOwner() = default;
  // Runs the first-run wizard once when the data is not ready; answers whether it is.
  virtual bool EnsureFirstRun(HWND browser) = 0;
  virtual void FillOpenForm(HWND browser, platform::ObjectId watcher) = 0;
  // Mode 1 fill, 2 fill and submit, 3 open without filling; Item is the menu item's tag.
  virtual void OpenStoredForm(HWND browser, std::int32_t item, platform::ObjectId watcher, int mode) = 0;
  virtual void ShowSettings(HWND browser, int page) = 0;
  // Every other command of the main menu by its number (the command table), with the
  // clicked item's tag.
  virtual void MenuCommand(HWND browser, int command, std::int32_t tag, platform::ObjectId watcher) = 0;
  virtual void ShowMessage(HWND browser, const std::u16string& text) = 0;
};

// Not owned; the installer keeps it alive until it installs another or nullptr.
void InstallFloatFormOwner(TFloatFormOwner* owner);

// Zone values of a client point: 1, 3 or 5 over the fill, arrow or settings button
// (2, 4 or 6 while pressed), 0 elsewhere.
int FloatZoneAt(POINT client, bool pressed);

// Sent to a floating window (on its thread) to give it its watcher: wParam the
// watcher's id, lParam 1 to start it as well.
inline constexpr UINT kFloatBindMessage = WM_APP + 0x208;

class TFloatForm : public TForm {
 public:
  // Main thread: a floating window over Browser (its owner window), hidden.
  explicit TFloatForm(HWND browser);
  ~TFloatForm() override;
  std::string ClassName() const override { return "TFloatForm"; }

  HWND Browser() const { return browser_; }
  // Places it for the first time and shows it (when the buttons are switched on).
  void Start();
  // Puts it in place over its browser window; without Force only while it is visible.
  void UpdatePosition(bool force);
  void ShowFloat();
  void HideFloat();
  // Runs a main-menu command (by its number) as the window's menu does, with the
  // clicked item's tag.
  void MenuClick(int command, std::int32_t tag);

  platform::ObjectId WinObject = 0;
  TFloatOffsets Offsets;
  int ImageIndex = 0;
  bool Pressed = false;
  int PressZone = 0;
  bool Started = false;
  bool Positioning = false;
  bool LayeredOnce = false;
  bool Shown = false;
  // A drag moved the window; its offsets are written when the drag ends.
  bool Dragged = false;
  BLENDFUNCTION Blend{};
  SIZE ImageSize{};
  TUniPopupMenu* PopMenu = nullptr;
  TImageList* PopupImages = nullptr;

  void Dispatch(TMessage& message) override;

 protected:
  void CreateParams(TCreateParams& params) override;

 private:
  void FormCreate();
  // Hands image ImageIndex to the system.
  void HandImage();
  void ShowImage(int index);
  bool BrowserRect(RECT& rect) const;
  void Moved();
  void DragEnded();
  LRESULT HitTest(LPARAM screenPoint);
  void ButtonDown(LPARAM clientPoint);
  void ButtonUp(LPARAM clientPoint);
  void MouseLeft();
  void MenuPopup(TObject* sender);

  const HWND browser_;
};

// Main thread: a floating window over Browser, hidden at top -1000; null when Browser
// is no window.
std::unique_ptr<TFloatForm> CreateFloatForm(HWND browser);

// What the watchers reach of the floating windows, by the ids under which the main
// window files them (it adds each window when it makes it for command 0 and removes it
// when it releases it for command 1). Installs itself as the watchers' TFloatButtons.
// Any thread: it keeps only handles and texts, and what it does to a window it posts
// to the window's own thread.
class TFloatButtonTable : public TFloatButtons {
 public:
  TFloatButtonTable();
  ~TFloatButtonTable() override;
  TFloatButtonTable(const TFloatButtonTable&) = delete;
  TFloatButtonTable& operator=(const TFloatButtonTable&) = delete;

  void Add(platform::ObjectId floatForm, HWND window);
  void Remove(platform::ObjectId floatForm);

  // Posts kFloatBindMessage to the window: its thread gives it the watcher and starts it.
  void Bind(platform::ObjectId floatForm, platform::ObjectId watcher, bool start) override;
  void SetClientID(platform::ObjectId floatForm, const std::u16string& clientId) override;
  std::u16string ClientID(platform::ObjectId floatForm);
  bool IsVisible(platform::ObjectId floatForm) override;
  HWND Handle(platform::ObjectId floatForm) override;

 private:
  struct Entry {
    HWND window = 0;
    std::u16string clientId;
  };
  std::mutex lock_;
  std::map<platform::ObjectId, Entry> entries_;
};

}  // namespace formfill
