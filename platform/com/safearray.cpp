#include "platform/com/safearray.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/com/dispatch.h"

namespace {

// The element type is kept in a prefix in front of the array descriptor.
struct alignas(std::max_align_t) Prefix {
  VARTYPE vt;
};

Prefix* PrefixOf(SAFEARRAY* array) {
  return reinterpret_cast<Prefix*>(reinterpret_cast<char*>(array) - sizeof(Prefix));
}

SAFEARRAYBOUND* Bounds(SAFEARRAY* array) { return array->rgsabound; }

ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
    case VT_R4:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
      return 8;
    case VT_BSTR:
      return sizeof(BSTR);
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(IUnknown*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

USHORT FeaturesOf(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_BSTR | FADF_HAVEVARTYPE;
    case VT_UNKNOWN:
      return FADF_UNKNOWN | FADF_HAVEVARTYPE;
    case VT_DISPATCH:
      return FADF_DISPATCH | FADF_HAVEVARTYPE;
    case VT_VARIANT:
      return FADF_VARIANT | FADF_HAVEVARTYPE;
    default:
      return FADF_HAVEVARTYPE;
  }
}

std::size_t ElementCount(SAFEARRAY* array) {
  std::size_t count = 1;
  for (USHORT d = 0; d < array->cDims; ++d) count *= Bounds(array)[d].cElements;
  return count;
}

// The element that Indices name, or null when an index is out of its bounds.
void* ElementAt(SAFEARRAY* array, const LONG* indices) {
  std::size_t offset = 0;
  std::size_t stride = 1;
  for (USHORT d = 0; d < array->cDims; ++d) {
    const SAFEARRAYBOUND& bound = Bounds(array)[d];
    long long relative = static_cast<long long>(indices[d]) - bound.lLbound;
    if (relative < 0 || relative >= static_cast<long long>(bound.cElements)) return nullptr;
    offset += static_cast<std::size_t>(relative) * stride;
    stride *= bound.cElements;
  }
  return static_cast<char*>(array->pvData) + offset * array->cbElements;
}

// Releases what one owned element holds and zeroes it.
void ReleaseElement(VARTYPE vt, void* element) {
  switch (vt) {
    case VT_BSTR:
      SysFreeString(*static_cast<BSTR*>(element));
      *static_cast<BSTR*>(element) = nullptr;
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (auto* object = *static_cast<IUnknown**>(element)) object->Release();
      *static_cast<IUnknown**>(element) = nullptr;
      break;
    case VT_VARIANT:
      VariantClear(static_cast<VARIANT*>(element));
      break;
    default:
      break;
  }
}

// Copies Source into the fresh (zeroed or initialised) Destination.
HRESULT CopyElement(VARTYPE vt, void* destination, const void* source, ULONG size) {
  switch (vt) {
    case VT_BSTR: {
      BSTR text = *static_cast<const BSTR*>(source);
      BSTR copy = nullptr;
      if (text != nullptr) {
        copy = SysAllocStringLen(text, SysStringLen(text));
        if (copy == nullptr) return E_OUTOFMEMORY;
      }
      *static_cast<BSTR*>(destination) = copy;
      return S_OK;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
      IUnknown* object = *static_cast<IUnknown* const*>(source);
      if (object) object->AddRef();
      *static_cast<IUnknown**>(destination) = object;
      return S_OK;
    }
    case VT_VARIANT:
      VariantInit(static_cast<VARIANT*>(destination));
      return VariantCopy(static_cast<VARIANT*>(destination), static_cast<const VARIANT*>(source));
    default:
      std::memcpy(destination, source, size);
      return S_OK;
  }
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds) {
  ULONG size = ElementSize(vt);
  if (size == 0 || dims == 0 || dims > 64 || bounds == nullptr) return nullptr;
  std::size_t count = 1;
  for (UINT d = 0; d < dims; ++d) {
    if (bounds[d].cElements != 0 &&
        count > std::numeric_limits<std::size_t>::max() / size / bounds[d].cElements) {
      return nullptr;
    }
    count *= bounds[d].cElements;
  }
  if (count > (std::size_t(1) << 31) / size) return nullptr;
  std::size_t descriptor = sizeof(Prefix) + sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
  void* block = std::calloc(1, descriptor);
  if (block == nullptr) return nullptr;
  auto* prefix = static_cast<Prefix*>(block);
  prefix->vt = vt;
  auto* array = reinterpret_cast<SAFEARRAY*>(static_cast<char*>(block) + sizeof(Prefix));
  array->cDims = static_cast<USHORT>(dims);
  array->fFeatures = FeaturesOf(vt);
  array->cbElements = size;
  array->pvData = std::calloc(count == 0 ? 1 : count, size);
  if (array->pvData == nullptr) {
    std::free(block);
    return nullptr;
  }
  for (UINT d = 0; d < dims; ++d) Bounds(array)[d] = bounds[d];
  if (vt == VT_VARIANT) {
    auto* elements = static_cast<VARIANT*>(array->pvData);
    for (std::size_t i = 0; i < count; ++i) VariantInit(&elements[i]);
  }
  return array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) {
  SAFEARRAYBOUND bound{elements, lowerBound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (array == nullptr) return S_OK;
  if (array->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  VARTYPE vt = PrefixOf(array)->vt;
  std::size_t count = ElementCount(array);
  for (std::size_t i = 0; i < count; ++i) {
    ReleaseElement(vt, static_cast<char*>(array->pvData) + i * array->cbElements);
  }
  std::free(array->pvData);
  std::free(PrefixOf(array));
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* array) { return array == nullptr ? 0 : array->cDims; }

UINT SafeArrayGetElemsize(SAFEARRAY* array) { return array == nullptr ? 0 : array->cbElements; }

HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt) {
  if (array == nullptr || vt == nullptr) return E_INVALIDARG;
  *vt = PrefixOf(array)->vt;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
  *bound = Bounds(array)[dim - 1].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dim < 1 || dim > array->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = Bounds(array)[dim - 1];
  *bound = static_cast<LONG>(static_cast<long long>(b.lLbound) + b.cElements - 1);
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* indices, void* value) {
  if (array == nullptr || indices == nullptr || value == nullptr) return E_INVALIDARG;
  void* element = ElementAt(array, indices);
  if (element == nullptr) return DISP_E_BADINDEX;
  return CopyElement(PrefixOf(array)->vt, value, element, array->cbElements);
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* value) {
  if (array == nullptr || indices == nullptr) return E_INVALIDARG;
  void* element = ElementAt(array, indices);
  if (element == nullptr) return DISP_E_BADINDEX;
  VARTYPE vt = PrefixOf(array)->vt;
  if (vt == VT_VARIANT) return VariantCopy(static_cast<VARIANT*>(element), static_cast<const VARIANT*>(value));
  if (value == nullptr && vt != VT_BSTR && vt != VT_UNKNOWN && vt != VT_DISPATCH) return E_INVALIDARG;
  // A BSTR or an interface is passed as itself, any other element by its address.
  const void* source = (vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH) ? &value : value;
  alignas(VARIANT) unsigned char fresh[sizeof(VARIANT)] = {};
  HRESULT hr = CopyElement(vt, fresh, source, array->cbElements);
  if (FAILED(hr)) return hr;
  ReleaseElement(vt, element);
  std::memcpy(element, fresh, array->cbElements);
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  ++array->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  if (array->cLocks == 0) return E_UNEXPECTED;
  --array->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (array == nullptr || data == nullptr) return E_INVALIDARG;
  ++array->cLocks;
  *data = array->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) { return SafeArrayUnlock(array); }

HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy) {
  if (copy == nullptr) return E_INVALIDARG;
  *copy = nullptr;
  if (source == nullptr) return S_OK;
  VARTYPE vt = PrefixOf(source)->vt;
  SAFEARRAY* result = SafeArrayCreate(vt, source->cDims, Bounds(source));
  if (result == nullptr) return E_OUTOFMEMORY;
  std::size_t count = ElementCount(source);
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t offset = i * source->cbElements;
    void* target = static_cast<char*>(result->pvData) + offset;
    if (vt == VT_VARIANT) VariantClear(static_cast<VARIANT*>(target));
    HRESULT hr = CopyElement(vt, target, static_cast<char*>(source->pvData) + offset, source->cbElements);
    if (FAILED(hr)) {
      SafeArrayDestroy(result);
      return hr;
    }
  }
  *copy = result;
  return S_OK;
}
