// Base of the in-process browser's objects. Their interfaces are dispatch
// interfaces, but the objects are called through their methods only: calls by name
// are not offered (GetIDsOfNames answers DISP_E_UNKNOWNNAME, Invoke
// DISP_E_MEMBERNOTFOUND).
#pragma once

#include "platform/com/dispatch.h"

namespace platform::browser {

HRESULT NoTypeInfoCount(UINT* count);
HRESULT NoTypeInfo(ITypeInfo** info);
HRESULT NoNames(UINT count, DISPID* ids);

template <typename... Interfaces>
class ModelObject : public platform::com::ComObject<Interfaces...> {
 public:
  HRESULT GetTypeInfoCount(UINT* count) override { return NoTypeInfoCount(count); }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override { return NoTypeInfo(info); }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override { return NoNames(count, ids); }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

// Writes text into an out argument as a new BSTR.
HRESULT ReturnText(std::u16string_view text, BSTR* out);
HRESULT ReturnBool(bool value, VARIANT_BOOL* out);

}  // namespace platform::browser
