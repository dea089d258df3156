#include "platform/com/dispatch.h"

#include <algorithm>

#include "platform/base/text.h"

namespace platform::com {

VARIANT* Argument(DISPPARAMS* params, UINT index) {
  if (params == nullptr || index >= params->cArgs || params->rgvarg == nullptr) return nullptr;
  return &params->rgvarg[params->cArgs - 1 - index];
}

HRESULT InvokeById(IDispatch* object, DISPID member, WORD flags, std::vector<Variant>& args,
                   Variant* result) {
  if (object == nullptr) return E_POINTER;
  std::vector<VARIANT> reversed;
  reversed.reserve(args.size());
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->raw());
  DISPID namedPut = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    params.rgdispidNamedArgs = &namedPut;
    params.cNamedArgs = 1;
  }
  // The callee may have changed by-reference values in place; the owned values in
  // Args are still those the caller made.
  return object->Invoke(member, GUID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                        result ? result->Put() : nullptr, nullptr, nullptr);
}

HRESULT InvokeByName(IDispatch* object, std::u16string_view name, WORD flags,
                     std::vector<Variant> args, Variant* result) {
  if (object == nullptr) return E_POINTER;
  std::u16string text(name);
  LPOLESTR names[1] = {text.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  return InvokeById(object, id, flags, args, result);
}

DispatchObject::DispatchObject(std::initializer_list<IID> alsoAnswers) : also_answers_(alsoAnswers) {}

void DispatchObject::AddMember(std::u16string_view name, DISPID id, Handler handler) {
  if (!name.empty()) ids_[UpperCase(name)] = id;
  handlers_[id] = std::move(handler);
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr) return E_POINTER;
  HRESULT result = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    if (names[i] == nullptr) {
      result = DISP_E_UNKNOWNNAME;
      continue;
    }
    // Only the member name is known; argument names are not.
    auto found = i == 0 ? ids_.find(UpperCase(names[i])) : ids_.end();
    if (found == ids_.end()) {
      result = DISP_E_UNKNOWNNAME;
    } else {
      ids[i] = found->second;
    }
  }
  return result;
}

HRESULT DispatchObject::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT*) {
  auto found = handlers_.find(member);
  if (found == handlers_.end()) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return found->second(flags, params ? params : &none, result);
}

void* DispatchObject::QueryOther(REFIID iid) {
  bool answered = std::any_of(also_answers_.begin(), also_answers_.end(),
                              [&](const IID& each) { return each == iid; });
  return answered ? static_cast<IDispatch*>(this) : nullptr;
}

}  // namespace platform::com
