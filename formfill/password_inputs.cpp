#include "formfill/password_inputs.h"

#include "formfill/browser_access.h"
#include "formfill/prepared_values.h"

namespace formfill {
namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

constexpr char16_t kPairName[] = u"Pellix_PwdName";
constexpr char16_t kPairId[] = u"Pellix_PwdID";

std::u16string InputName(IHTMLInputElement* input) {
  BString name;
  if (input == nullptr || FAILED(input->get_name(name.Put()))) return {};
  return name.Text();
}

void WritePair(IHTMLElement* element, const std::u16string& name, const std::u16string& id) {
  WriteMark(element, kPairName, Variant::Text(name));
  WriteMark(element, kPairId, Variant::Text(id));
}

// Puts Value into an input and its token into the input's "Pellix_Value" mark.
void WriteInto(IHTMLElement* element, IHTMLInputElement* input, const std::u16string& windowId,
               const std::u16string& value) {
  if (FAILED(input->put_value(BString(value).get()))) return;
  WritePreparedValue(element, windowId, value);
}

}  // namespace

int MarkPasswordPair(IUnknown* form) {
  ComPtr<IHTMLElementCollection> inputs = ElementsByTag(form, u"input");
  if (!inputs) return 0;
  int count = 0;
  ComPtr<IHTMLElement> first;
  std::u16string firstName, firstId;
  ForEachItem(inputs.get(), [&](IDispatch* item) {
    ComPtr<IHTMLElement> element = ComPtr<IDispatch>(item).As<IHTMLElement>();
    ComPtr<IHTMLInputElement> input = ComPtr<IDispatch>(item).As<IHTMLInputElement>();
    std::string type;
    if (!element || !input || !ReadInputType(element.get(), type) || type != "password") return true;
    std::u16string id = ElementId(element.get());
    std::u16string name = InputName(input.get());
    if (count == 0) {
      count = 1;
      first = element;
      firstName = name;
      firstId = id;
      WritePair(element.get(), u"", u"");
      return true;
    }
    count = 2;
    WritePair(element.get(), firstName, firstId);
    WritePair(first.get(), name, id);
    return false;  // inputs after the second are not looked at
  });
  return count;
}

TInputPasswordContext::TInputPasswordContext(ComPtr<IHTMLElement> element, std::u16string windowId,
                                             platform::ObjectId watcher)
    : window_id_(std::move(windowId)), watcher_(watcher), element_(std::move(element)) {
  if (!element_ || FAILED(element_.As(input_)) || !input_) {
    input_.Reset();
    return;
  }
  BString own;
  if (SUCCEEDED(input_->get_value(own.Put()))) {
    value_ = own.Text();
    value_typed_ = true;
  }
  if (value_.empty()) {
    value_typed_ = false;
    ReadPreparedValue(element_.get(), window_id_, value_);
  }
}

TInputPasswordContext::~TInputPasswordContext() = default;

std::shared_ptr<TInputPasswordContext> TInputPasswordContext::CopyForFill(std::u16string newValue) const {
  // Made empty (no input to read), then given this context's input and values.
  auto copy = std::make_shared<TInputPasswordContext>(nullptr, window_id_, watcher_);
  copy->element_ = element_;
  copy->input_ = input_;
  std::lock_guard guard(lock_);
  copy->value_ = value_;
  copy->value_typed_ = value_typed_;
  copy->new_value_ = std::move(newValue);
  return copy;
}

std::u16string TInputPasswordContext::Value() const {
  std::lock_guard guard(lock_);
  return value_;
}

bool TInputPasswordContext::ValueTyped() const {
  std::lock_guard guard(lock_);
  return value_typed_;
}

void TInputPasswordContext::SetNewValue(std::u16string value) {
  std::lock_guard guard(lock_);
  new_value_ = std::move(value);
}

std::u16string TInputPasswordContext::NewValue() const {
  std::lock_guard guard(lock_);
  return new_value_;
}

void TInputPasswordContext::FillPassword() {
  std::u16string value = NewValue();
  if (value.empty() || !input_ || !element_) return;
  WriteInto(element_.get(), input_.get(), window_id_, value);
  {
    std::lock_guard guard(lock_);
    value_ = value;
  }
  std::u16string pairId = ReadMark(element_.get(), kPairId).AsText();
  std::u16string pairName = ReadMark(element_.get(), kPairName).AsText();
  if (pairId.empty() && pairName.empty()) return;

  ComPtr<IHTMLFormElement> form;
  if (FAILED(input_->get_form(form.Put())) || !form) return;
  ComPtr<IHTMLElement> formElement = form.As<IHTMLElement>();
  ComPtr<IDispatch> allDispatch;
  if (!formElement || FAILED(formElement->get_all(allDispatch.Put())) || !allDispatch) return;
  ComPtr<IHTMLElementCollection> all = allDispatch.As<IHTMLElementCollection>();
  if (!all) return;
  ForEachItem(all.get(), [&](IDispatch* item) {
    ComPtr<IHTMLElement> element = ComPtr<IDispatch>(item).As<IHTMLElement>();
    BString tag;
    if (!element || FAILED(element->get_tagName(tag.Put())) || LowerAscii8(tag.Text()) != "input") return true;
    if (ReadMark(element.get(), u"type").StringValue() != u"password") return true;
    ComPtr<IHTMLInputTextElement> text = element.As<IHTMLInputTextElement>();
    ComPtr<IHTMLInputElement> input = element.As<IHTMLInputElement>();
    BString name;
    if (!text || !input || FAILED(text->get_name(name.Put()))) return true;
    if (ElementId(element.get()) == pairId && name.Text() == pairName) {
      WriteInto(element.get(), input.get(), window_id_, value);
    }
    return true;  // every input that matches receives the value
  });
}

}  // namespace formfill
