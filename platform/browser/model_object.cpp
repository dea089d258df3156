#include "platform/browser/model_object.h"

namespace platform::browser {

HRESULT NoTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT NoTypeInfo(ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT NoNames(UINT count, DISPID* ids) {
  for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT ReturnText(std::u16string_view text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = platform::com::AllocText(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReturnBool(bool value, VARIANT_BOOL* out) {
  if (out == nullptr) return E_POINTER;
  *out = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

}  // namespace platform::browser
