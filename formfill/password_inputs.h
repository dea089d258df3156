// Password inputs: the pairing of a form's first two password inputs (a password and
// its repetition), and the context that carries one right-clicked password input from
// the page's event to the password-field menu and back.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/base/object_registry.h"
#include "platform/browser/mshtml.h"

namespace formfill {

// Links the form's first two password inputs to each other through the marks
// "Pellix_PwdName" and "Pellix_PwdID" and answers how many it saw (at most 2); 0 when
// Form is nil or no element.
int MarkPasswordPair(IUnknown* form);

// One right-clicked password input.
//
// Lifetime: a context is held by std::shared_ptr. The watcher holds its current
// context and replaces it on the next right click; a queued password fill holds its
// own reference, so a context is freed only when neither the watcher nor any queued or
// running fill can use it any more. NewValue is guarded by the context's lock (set on
// the main thread, read on the watcher thread).
class TInputPasswordContext {
 public:
  // Reads what the input holds now (never fails; an error leaves Value empty and
  // ValueTyped false). WindowId is the watcher's window id, under which the values
  // prepared for this page are kept; Watcher is that watcher's object id.
  TInputPasswordContext(platform::com::ComPtr<IHTMLElement> element, std::u16string windowId,
                        platform::ObjectId watcher = 0);
  ~TInputPasswordContext();
  TInputPasswordContext(const TInputPasswordContext&) = delete;
  TInputPasswordContext& operator=(const TInputPasswordContext&) = delete;

  // What the input held when the menu opened (its own value, else the prepared value);
  // after FillPassword, the value written.
  std::u16string Value() const;
  // True when Value came from the input's own non-empty value.
  bool ValueTyped() const;
  void SetNewValue(std::u16string value);
  std::u16string NewValue() const;
  platform::ObjectId Watcher() const { return watcher_; }
  // A context of its own for one queued fill: the same input, window and values, with
  // NewValue as given, so that a later change of this context's value cannot reach a
  // fill that is already queued.
  std::shared_ptr<TInputPasswordContext> CopyForFill(std::u16string newValue) const;

  // Writes NewValue into the input and into its paired input (watcher thread).
  void FillPassword();

  IHTMLElement* Element() const { return element_.get(); }
  IHTMLInputElement* InputElement() const { return input_.get(); }

 private:
  mutable std::mutex lock_;
  std::u16string value_;
  bool value_typed_ = false;
  std::u16string new_value_;
  const std::u16string window_id_;
  const platform::ObjectId watcher_;
  platform::com::ComPtr<IHTMLElement> element_;
  platform::com::ComPtr<IHTMLInputElement> input_;
};

}  // namespace formfill
