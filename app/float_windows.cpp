#include "app/float_windows.h"

#include <cstdio>

#include "formfill/float_form.h"
#include "platform/base/text.h"

namespace {

class TFloatFormWindow : public TFloatWindow {
 public:
  explicit TFloatFormWindow(std::unique_ptr<formfill::TFloatForm> form) : form_(std::move(form)) {}
  HWND Handle() const override { return form_->Handle(); }
  void UpdatePosition(bool force) override { form_->UpdatePosition(force); }
  void HideFloat() override { form_->HideFloat(); }

 private:
  std::unique_ptr<formfill::TFloatForm> form_;
};

}  // namespace

std::unique_ptr<TFloatWindow> MakeFloatFormWindow(HWND browser) {
  std::unique_ptr<formfill::TFloatForm> form = formfill::CreateFloatForm(browser);
  if (!form) return nullptr;
  return std::make_unique<TFloatFormWindow>(std::move(form));
}

std::u16string FloatKey(HWND window) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(window));
  return platform::AnsiToWide(text);
}

TFloatWindows::TFloatWindows() : factory_(MakeFloatFormWindow) {}

TFloatWindows::~TFloatWindows() {
  for (const Entry& entry : entries_) platform::ForgetObject(entry.Id);
}

platform::ObjectId TFloatWindows::Create(HWND browserWindow) {
  if (!factory_) return 0;
  std::shared_ptr<TFloatWindow> form(factory_(browserWindow));
  if (!form) return 0;
  const platform::ObjectId id = platform::RegisterObject(form);
  entries_.push_back({FloatKey(form->Handle()), form, id});
  buttons_.Add(id, form->Handle());
  return id;
}

void TFloatWindows::Release(HWND floatWindow) {
  const std::u16string key = FloatKey(floatWindow);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->Key != key) continue;
    const Entry entry = *it;
    entries_.erase(it);
    buttons_.Remove(entry.Id);
    platform::ForgetObject(entry.Id);
    entry.Form->HideFloat();
    return;
  }
}

TFloatWindow* TFloatWindows::Find(platform::ObjectId id) const {
  if (id == 0) return nullptr;
  for (const Entry& entry : entries_) {
    if (entry.Id == id) return entry.Form.get();
  }
  return nullptr;
}

void TFloatWindows::UpdatePositions() {
  if (positionBusy_) return;
  positionBusy_ = true;
  for (const Entry& entry : entries_) entry.Form->UpdatePosition(false);
  positionBusy_ = false;
}
