#include "platform/com/variant.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "platform/base/text.h"
#include "platform/com/dispatch.h"
#include "platform/com/safearray.h"

namespace {

bool IsInteger(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

bool IsNumber(VARTYPE vt) { return IsInteger(vt) || vt == VT_R4 || vt == VT_R8; }

bool IsScalar(VARTYPE vt) {
  return IsNumber(vt) || vt == VT_EMPTY || vt == VT_NULL || vt == VT_BOOL || vt == VT_ERROR ||
         vt == VT_DATE || vt == VT_CY;
}

// The value of a numeric or Boolean variant.
long double NumberOf(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_I4: return v.lVal;
    case VT_INT: return v.intVal;
    case VT_UI4: return v.ulVal;
    case VT_UINT: return v.uintVal;
    case VT_I8: return v.llVal;
    case VT_UI8: return v.ullVal;
    case VT_R4: return v.fltVal;
    case VT_R8: return v.dblVal;
    case VT_BOOL: return v.boolVal ? -1 : 0;
    default: return 0;
  }
}

// Stores a number in a variant of type Vt; DISP_E_OVERFLOW when it does not fit.
// Integers take the nearest value, halves going to the even neighbour.
HRESULT StoreNumber(long double value, VARTYPE vt, VARIANT& out) {
  if (std::isnan(value)) return DISP_E_OVERFLOW;
  if (vt == VT_R8) {
    if (std::fabs(value) > DBL_MAX) return DISP_E_OVERFLOW;
    out.dblVal = static_cast<double>(value);
  } else if (vt == VT_R4) {
    if (std::fabs(value) > FLT_MAX) return DISP_E_OVERFLOW;
    out.fltVal = static_cast<float>(value);
  } else if (vt == VT_BOOL) {
    out.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  } else {
    long double whole = std::nearbyint(value);
    auto fits = [whole](long double low, long double high) { return whole >= low && whole <= high; };
    switch (vt) {
      case VT_I1:
        if (!fits(-128, 127)) return DISP_E_OVERFLOW;
        out.cVal = static_cast<CHAR>(whole);
        break;
      case VT_UI1:
        if (!fits(0, 255)) return DISP_E_OVERFLOW;
        out.bVal = static_cast<BYTE>(whole);
        break;
      case VT_I2:
        if (!fits(-32768, 32767)) return DISP_E_OVERFLOW;
        out.iVal = static_cast<SHORT>(whole);
        break;
      case VT_UI2:
        if (!fits(0, 65535)) return DISP_E_OVERFLOW;
        out.uiVal = static_cast<USHORT>(whole);
        break;
      case VT_I4:
      case VT_INT:
        if (!fits(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())) {
          return DISP_E_OVERFLOW;
        }
        out.lVal = static_cast<LONG>(whole);
        break;
      case VT_UI4:
      case VT_UINT:
        if (!fits(0, std::numeric_limits<std::uint32_t>::max())) return DISP_E_OVERFLOW;
        out.ulVal = static_cast<ULONG>(whole);
        break;
      case VT_I8:
        if (!fits(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max())) {
          return DISP_E_OVERFLOW;
        }
        out.llVal = static_cast<LONGLONG>(whole);
        break;
      case VT_UI8:
        if (!fits(0, std::numeric_limits<std::uint64_t>::max())) return DISP_E_OVERFLOW;
        out.ullVal = static_cast<ULONGLONG>(whole);
        break;
      default:
        return DISP_E_TYPEMISMATCH;
    }
  }
  out.vt = vt;
  return S_OK;
}

std::u16string Trimmed(std::u16string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && (text[first] == u' ' || text[first] == u'\t')) ++first;
  while (last > first && (text[last - 1] == u' ' || text[last - 1] == u'\t')) --last;
  return std::u16string(text.substr(first, last - first));
}

// A decimal number with optional sign, fraction and exponent, and nothing else.
bool ParseNumber(std::u16string_view text, long double& value) {
  std::u16string trimmed = Trimmed(text);
  if (trimmed.empty() || trimmed.size() > 400) return false;
  std::string ascii;
  for (char16_t c : trimmed) {
    bool allowed = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' || c == u'e' || c == u'E';
    if (!allowed) return false;
    ascii += static_cast<char>(c);
  }
  char* end = nullptr;
  value = std::strtold(ascii.c_str(), &end);
  return end == ascii.c_str() + ascii.size();
}

std::u16string NumberText(const VARIANT& v) {
  char buffer[64];
  if (v.vt == VT_R8) {
    std::snprintf(buffer, sizeof buffer, "%.15g", v.dblVal);
  } else if (v.vt == VT_R4) {
    std::snprintf(buffer, sizeof buffer, "%.7g", static_cast<double>(v.fltVal));
  } else if (v.vt == VT_UI8) {
    std::snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(v.ullVal));
  } else {
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(NumberOf(v)));
  }
  return platform::AnsiToWide(buffer);
}

// Reads a by-reference variant into a plain (unowned) view of its value.
bool ReadThrough(const VARIANT& source, VARIANT& plain) {
  VariantInit(&plain);
  if (!(source.vt & VT_BYREF)) {
    plain = source;
    return true;
  }
  if (source.byref == nullptr) return false;
  VARTYPE base = source.vt & ~VT_BYREF;
  if (base == VT_VARIANT) {
    plain = *source.pvarVal;
    return !(plain.vt & VT_BYREF);
  }
  switch (base) {
    case VT_UI1: plain.bVal = *source.pbVal; break;
    case VT_I2: plain.iVal = *source.piVal; break;
    case VT_I4: plain.lVal = *source.plVal; break;
    case VT_BOOL: plain.boolVal = *source.pboolVal; break;
    case VT_BSTR: plain.bstrVal = *source.pbstrVal; break;
    case VT_UNKNOWN: plain.punkVal = *source.ppunkVal; break;
    case VT_DISPATCH: plain.pdispVal = *source.ppdispVal; break;
    default: return false;
  }
  plain.vt = base;
  return true;
}

// Converts the plain value Source into the fresh Out.
HRESULT Convert(const VARIANT& source, USHORT flags, VARTYPE vt, VARIANT& out) {
  VariantInit(&out);
  if (source.vt == vt) return VariantCopy(&out, &source);
  if (source.vt == VT_NULL || vt == VT_NULL || vt == VT_EMPTY) return DISP_E_TYPEMISMATCH;
  if (vt == VT_BSTR) {
    std::u16string text;
    if (source.vt == VT_EMPTY) {
      text.clear();
    } else if (source.vt == VT_BOOL) {
      if (flags & VARIANT_ALPHABOOL) {
        text = source.boolVal ? u"True" : u"False";
      } else {
        text = source.boolVal ? u"-1" : u"0";
      }
    } else if (IsNumber(source.vt)) {
      text = NumberText(source);
    } else {
      return DISP_E_TYPEMISMATCH;
    }
    out.bstrVal = platform::com::AllocText(text);
    if (out.bstrVal == nullptr) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    return S_OK;
  }
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if (source.vt != VT_UNKNOWN && source.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    IUnknown* object = source.punkVal;
    void* converted = nullptr;
    if (object) {
      HRESULT hr = object->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &converted);
      if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    }
    out.punkVal = static_cast<IUnknown*>(converted);
    out.vt = vt;
    return S_OK;
  }
  if (!IsNumber(vt) && vt != VT_BOOL) return DISP_E_TYPEMISMATCH;
  long double number = 0;
  if (source.vt == VT_EMPTY) {
    number = 0;
  } else if (source.vt == VT_BSTR) {
    std::u16string text = Trimmed(platform::com::ToText(source.bstrVal));
    std::u16string lower = platform::LowerCase(text);
    if (lower == u"true") {
      number = -1;
    } else if (lower == u"false") {
      number = 0;
    } else if (!ParseNumber(text, number)) {
      return DISP_E_TYPEMISMATCH;
    }
  } else if (IsNumber(source.vt) || source.vt == VT_BOOL) {
    number = NumberOf(source);
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  return StoreNumber(number, vt, out);
}

}  // namespace

void VariantInit(VARIANT* value) {
  if (value == nullptr) return;
  value->vt = VT_EMPTY;
  value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
  value->llVal = 0;
}

HRESULT VariantClear(VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  VARTYPE vt = value->vt;
  if (vt & VT_BYREF) {
    // A reference owns nothing.
  } else if (vt & VT_ARRAY) {
    HRESULT hr = SafeArrayDestroy(value->parray);
    if (FAILED(hr)) return hr;
  } else if (vt == VT_BSTR) {
    SysFreeString(value->bstrVal);
  } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if (value->punkVal) value->punkVal->Release();
  } else if (!IsScalar(vt)) {
    return DISP_E_BADVARTYPE;
  }
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source) {
  if (destination == nullptr || source == nullptr) return E_INVALIDARG;
  if (destination == source) return S_OK;
  VARIANT copy = *source;
  VARTYPE vt = source->vt;
  if (vt & VT_BYREF) {
    // References are copied as references.
  } else if (vt & VT_ARRAY) {
    HRESULT hr = SafeArrayCopy(source->parray, &copy.parray);
    if (FAILED(hr)) return hr;
  } else if (vt == VT_BSTR) {
    if (source->bstrVal != nullptr) {
      copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
      if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
    }
  } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if (copy.punkVal) copy.punkVal->AddRef();
  } else if (!IsScalar(vt)) {
    return DISP_E_BADVARTYPE;
  }
  HRESULT hr = VariantClear(destination);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *destination = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, USHORT flags, VARTYPE vt) {
  if (destination == nullptr || source == nullptr) return E_INVALIDARG;
  VARIANT plain;
  if (!ReadThrough(*source, plain)) return DISP_E_TYPEMISMATCH;
  if ((plain.vt & VT_ARRAY) && plain.vt != vt) return DISP_E_TYPEMISMATCH;
  VARIANT converted;
  HRESULT hr = Convert(plain, flags, vt, converted);
  if (FAILED(hr)) return hr;
  hr = VariantClear(destination);
  if (FAILED(hr)) {
    VariantClear(&converted);
    return hr;
  }
  *destination = converted;
  return S_OK;
}

namespace platform::com {

Variant::Variant(const Variant& other) {
  VariantInit(&v_);
  VariantCopy(&v_, &other.v_);
}

Variant::Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }

Variant& Variant::operator=(const Variant& other) {
  VariantCopy(&v_, &other.v_);
  return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
  std::swap(v_, other.v_);
  return *this;
}

Variant Variant::CopyOf(const VARIANT& raw) {
  Variant out;
  VariantCopy(&out.v_, &raw);
  return out;
}

namespace {
template <typename Set>
Variant Scalar(VARTYPE vt, Set set) {
  Variant out;
  set(out.raw());
  out.raw().vt = vt;
  return out;
}
}  // namespace

Variant Variant::Int(LONG value) {
  return Scalar(VT_I4, [value](VARIANT& v) { v.lVal = value; });
}

Variant Variant::Byte(BYTE value) {
  return Scalar(VT_UI1, [value](VARIANT& v) { v.bVal = value; });
}

Variant Variant::UShort(USHORT value) {
  return Scalar(VT_UI2, [value](VARIANT& v) { v.uiVal = value; });
}

Variant Variant::Bool(bool value) {
  return Scalar(VT_BOOL, [value](VARIANT& v) { v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE; });
}

Variant Variant::Null() {
  return Scalar(VT_NULL, [](VARIANT&) {});
}

Variant Variant::Text(std::u16string_view text) {
  Variant out;
  out.v_.bstrVal = AllocText(text);
  // Out of memory leaves an empty variant rather than a null string.
  if (out.v_.bstrVal != nullptr) out.v_.vt = VT_BSTR;
  return out;
}

Variant Variant::Dispatch(IDispatch* object) {
  Variant out;
  out.v_.vt = VT_DISPATCH;
  out.v_.pdispVal = object;
  if (object) object->AddRef();
  return out;
}

Variant Variant::Unknown(IUnknown* object) {
  Variant out;
  out.v_.vt = VT_UNKNOWN;
  out.v_.punkVal = object;
  if (object) object->AddRef();
  return out;
}

VARIANT* Variant::Put() {
  VariantClear(&v_);
  return &v_;
}

VARIANT Variant::Detach() {
  VARIANT out = v_;
  VariantInit(&v_);
  return out;
}

std::u16string Variant::StringValue() const {
  return v_.vt == VT_BSTR ? ToText(v_.bstrVal) : std::u16string();
}

std::u16string Variant::AsText() const {
  Variant text;
  if (FAILED(VariantChangeType(text.get(), &v_, 0, VT_BSTR))) return {};
  return text.StringValue();
}

}  // namespace platform::com
