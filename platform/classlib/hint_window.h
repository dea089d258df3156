// The hint window: a small top-most popup that shows a control's short hint near the
// cursor, and the hint information record the application fills for CM_HINTSHOW, in
// which a control may change the text, place, colour, timing and window class.
#pragma once

#include <string>

#include "platform/classlib/controls.h"

class THintWindow;

// A class reference for hint windows: the application makes the hint window from
// the class the hint information names, and layers test the class's ancestry.
class THintWindowClass {
 public:
  using Factory = THintWindow* (*)(TComponent* owner);
  THintWindowClass(std::string name, const THintWindowClass* parent, Factory create)
      : name_(std::move(name)), parent_(parent), create_(create) {}
  const std::string& Name() const { return name_; }
  const THintWindowClass* Parent() const { return parent_; }
  // True for this class and its descendants.
  bool InheritsFrom(const THintWindowClass& ancestor) const;
  THintWindow* Create(TComponent* owner) const { return create_(owner); }

 private:
  std::string name_;
  const THintWindowClass* parent_;
  Factory create_;
};

// Filled by the application before a hint shows; CM_HINTSHOW carries its address in
// lParam. Records are alive only while the application shows one, on its thread;
// IsHintInfo tells whether an address is one of them.
struct THintInfo {
  THintInfo();
  ~THintInfo();
  THintInfo(const THintInfo&) = delete;
  THintInfo& operator=(const THintInfo&) = delete;
  TControl* HintControl = nullptr;
  const THintWindowClass* HintWindowClass = nullptr;
  POINT HintPos{};   // screen position of the window's top-left corner
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  RECT CursorRect{};  // in the control's coordinates: moving out of it ends the hint
  POINT CursorPos{};  // in the control's coordinates
  int ReshowTimeout = 0;
  int HideTimeout = 0;
  std::string HintStr;
  void* HintData = nullptr;
};

bool IsHintInfo(const void* data);

class THintWindow : public TCustomControl {
 public:
  explicit THintWindow(TComponent* owner);
  std::string ClassName() const override { return "THintWindow"; }
  static const THintWindowClass& Class();
  virtual const THintWindowClass& ClassType() const { return Class(); }

  // Shows the hint with its window at `rect` (screen), kept on the screen.
  virtual void ActivateHint(RECT rect, const std::string& hint);
  virtual void ActivateHintData(RECT rect, const std::string& hint, void* data);
  // The window's size for the hint, wrapped at `maxWidth`, at (0, 0).
  virtual RECT CalcHintRect(int maxWidth, const std::string& hint, void* data);
  // Hides the hint by taking the window away.
  void ReleaseHandle();
  void Dispatch(TMessage& message) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  // Fills the window with its colour, sets the canvas's font colour to the hint
  // font's and answers the rectangle the text goes in.
  RECT PaintBackground();
  // A scratch DC with the hint font selected, for measuring; give it back with
  // EndMeasure.
  HDC BeginMeasure();
  void EndMeasure(HDC dc);
  // True while a hint is activated: the text change must not resize the window.
  bool activating_ = false;
};

// The hint window class the application uses unless CM_HINTSHOW names another.
extern const THintWindowClass* HintWindowClass;
