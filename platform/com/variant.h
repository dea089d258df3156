// VARIANT: the tagged value of the automation calls, and the calls that set up, clear,
// copy and convert it. A variant owns what it holds: its BSTR, its interface
// reference, its safe array; VariantClear releases them.
#pragma once

#include <string>

#include "platform/base/types.h"
#include "platform/com/bstr.h"
#include "platform/com/unknown.h"

struct IDispatch;
struct SAFEARRAY;

using VARTYPE = unsigned short;
using VARIANT_BOOL = short;
using DATE = double;
using USHORT = unsigned short;
using SHORT = short;
using CHAR = char;
using FLOAT = float;
using DOUBLE = double;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHResult(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHResult(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHResult(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHResult(0x80020006);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeHResult(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000B);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHResult(0x8002000D);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHResult(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHResult(0x8002000F);

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    FLOAT fltVal;
    DOUBLE dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    CHAR cVal;
    USHORT uiVal;
    ULONG ulVal;
    ULONGLONG ullVal;
    INT intVal;
    UINT uintVal;
    BYTE* pbVal;
    SHORT* piVal;
    LONG* plVal;
    VARIANT_BOOL* pboolVal;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    VARIANT* pvarVal;
    void* byref;
  };
};
using VARIANTARG = VARIANT;

// Flags of VariantChangeType.
inline constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
inline constexpr USHORT VARIANT_ALPHABOOL = 0x02;

void VariantInit(VARIANT* value);
// Releases what the variant holds and leaves it VT_EMPTY; DISP_E_BADVARTYPE for a
// type this platform does not know (the variant is then left alone).
HRESULT VariantClear(VARIANT* value);
// Clears Destination, then copies Source into it (new BSTR, new reference, new array).
HRESULT VariantCopy(VARIANT* destination, const VARIANT* source);
// Converts Source to the type Vt into Destination (which may be Source itself).
// Known: the integer types, VT_BOOL, VT_R4, VT_R8, VT_BSTR, VT_EMPTY, VT_NULL (only to
// itself), VT_UNKNOWN and VT_DISPATCH (by QueryInterface, between each other); a
// by-reference source is read through. Numbers read from text are decimal with
// optional blanks and sign; a value out of the target's range answers
// DISP_E_OVERFLOW, anything else that does not convert DISP_E_TYPEMISMATCH; on
// failure Destination is unchanged. VT_BOOL becomes "-1"/"0" as text, "True"/"False"
// with VARIANT_ALPHABOOL; text "True"/"False" (any case) reads as a Boolean.
HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, USHORT flags, VARTYPE vt);

namespace platform::com {

// A VARIANT with one owner: cleared when it goes; copying copies the value.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant() { VariantClear(&v_); }

  // Takes a copy of a raw variant.
  static Variant CopyOf(const VARIANT& raw);
  static Variant Int(LONG value);
  static Variant Byte(BYTE value);
  static Variant UShort(USHORT value);
  static Variant Bool(bool value);
  static Variant Text(std::u16string_view text);
  static Variant Null();
  // Takes a new reference to the object.
  static Variant Dispatch(IDispatch* object);
  static Variant Unknown(IUnknown* object);

  VARIANT& raw() { return v_; }
  const VARIANT& raw() const { return v_; }
  VARIANT* get() { return &v_; }
  // Clears the value and answers the slot for an out argument.
  VARIANT* Put();
  // Hands the value to the caller (this becomes VT_EMPTY).
  VARIANT Detach();
  VARTYPE type() const { return v_.vt; }

  // The text of a VT_BSTR value, else empty.
  std::u16string StringValue() const;
  // The value converted to text as VariantChangeType does; empty when it does not convert.
  std::u16string AsText() const;

 private:
  VARIANT v_;
};

}  // namespace platform::com
