// Safe arrays: arrays of one element type with bounds per dimension, carried in
// variants (VT_ARRAY | type). Elements of type VT_BSTR, VT_VARIANT, VT_UNKNOWN and
// VT_DISPATCH are owned by the array: put copies them in, get copies them out, and
// destroying the array releases them.
//
// Here the bounds stand in rgsabound in the order they were given to SafeArrayCreate,
// and element (i0, i1, ...) lies at i0 + n0 * (i1 + n1 * ...) (the first index varies
// fastest); rgIndices gives one index per dimension in the same order.
#pragma once

#include "platform/com/variant.h"

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};

struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];  // cDims entries
};

inline constexpr USHORT FADF_BSTR = 0x0100;
inline constexpr USHORT FADF_UNKNOWN = 0x0200;
inline constexpr USHORT FADF_DISPATCH = 0x0400;
inline constexpr USHORT FADF_VARIANT = 0x0800;
inline constexpr USHORT FADF_HAVEVARTYPE = 0x0080;

// Element types: VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT, VT_I8,
// VT_UI8, VT_R4, VT_R8, VT_BOOL, VT_ERROR, VT_BSTR, VT_VARIANT, VT_UNKNOWN,
// VT_DISPATCH. Null for any other type, no dimensions, or when memory runs out.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements);
// DISP_E_ARRAYISLOCKED while locked or accessed.
HRESULT SafeArrayDestroy(SAFEARRAY* array);
UINT SafeArrayGetDim(SAFEARRAY* array);
UINT SafeArrayGetElemsize(SAFEARRAY* array);
HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt);
// Dimensions count from 1; DISP_E_BADINDEX for a dimension out of range.
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound);
HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* indices, void* value);
HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* value);
HRESULT SafeArrayLock(SAFEARRAY* array);
HRESULT SafeArrayUnlock(SAFEARRAY* array);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy);
