// IDispatch: calls by name. A caller asks an object for the number (DISPID) of a
// member name and invokes it with its arguments in a DISPPARAMS, last argument first.
// DispatchObject is the program's own implementation: a table of named members,
// found regardless of case, each with its handler; event sinks are made from it.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "platform/com/variant.h"

using DISPID = LONG;
using LPVARIANT = VARIANT*;

inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

struct DISPPARAMS {
  VARIANTARG* rgvarg;  // the arguments, last argument first
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

// Type information is not offered by this platform's objects; GetTypeInfo answers
// E_NOTIMPL.
struct ITypeInfo;

inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000,
                                      {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IDispatch : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IDispatch;
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argumentError) = 0;

 protected:
  ~IDispatch() = default;
};

namespace platform::com {

// The Index-th argument in the order the caller wrote them (0 = first), or null.
VARIANT* Argument(DISPPARAMS* params, UINT index);

// Looks the member up by name and invokes it with Args in natural order.
HRESULT InvokeByName(IDispatch* object, std::u16string_view name, WORD flags,
                     std::vector<Variant> args, Variant* result);

// Invokes a member by number with Args in natural order.
HRESULT InvokeById(IDispatch* object, DISPID member, WORD flags, std::vector<Variant>& args,
                   Variant* result);

// An IDispatch object made of named members. It also answers QueryInterface for the
// extra interface ids given (the dispatch interfaces of events it receives), with its
// IDispatch. Members are added before the object is handed out.
class DispatchObject : public ComObject<IDispatch> {
 public:
  using Handler = std::function<HRESULT(WORD flags, DISPPARAMS* params, VARIANT* result)>;

  explicit DispatchObject(std::initializer_list<IID> alsoAnswers = {});

  // Adds a member; a name may be empty for members reached by number only.
  void AddMember(std::u16string_view name, DISPID id, Handler handler);

  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

 protected:
  void* QueryOther(REFIID iid) override;

 private:
  std::vector<IID> also_answers_;
  std::map<std::u16string, DISPID> ids_;  // upper-cased names
  std::map<DISPID, Handler> handlers_;
};

}  // namespace platform::com
