// Data objects: what the clipboard and drag and drop hand over. A data object offers
// formats (FORMATETC) and answers each in a storage medium (STGMEDIUM); global memory
// blocks are real memory, files are names, stream and storage media are carried as
// counted interfaces. Also the format enumerator over a list of formats and the
// advise holder that tells registered sinks about changed data.
#pragma once

#include <vector>

#include "platform/com/format_etc.h"
#include "platform/com/unknown.h"
#include "platform/kernel/memory.h"

inline constexpr DWORD TYMED_FILE = 2;
inline constexpr DWORD TYMED_ISTREAM = 4;
inline constexpr DWORD TYMED_ISTORAGE = 8;
inline constexpr DWORD TYMED_GDI = 16;
inline constexpr DWORD TYMED_MFPICT = 32;
inline constexpr DWORD TYMED_ENHMF = 64;
inline constexpr DWORD TYMED_NULL = 0;

inline constexpr DWORD DATADIR_GET = 1;
inline constexpr DWORD DATADIR_SET = 2;

inline constexpr UINT GMEM_SHARE = 0x2000;

inline constexpr HRESULT DV_E_LINDEX = MakeHResult(0x80040068);
inline constexpr HRESULT DV_E_TYMED = MakeHResult(0x80040069);
inline constexpr HRESULT DV_E_FORMATETC = MakeHResult(0x8004006A);
inline constexpr HRESULT DV_E_DVASPECT = MakeHResult(0x8004006B);
inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = MakeHResult(0x80040003);
inline constexpr HRESULT OLE_E_NOCONNECTION = MakeHResult(0x80040004);
inline constexpr HRESULT OLE_S_USEREG = MakeHResult(0x00040000);
inline constexpr HRESULT DATA_S_SAMEFORMATETC = MakeHResult(0x00040130);

// The medium: the kind (tymed), its handle, and the object that frees it (null: the
// receiver frees the handle itself). Stream and storage media carry their interface
// in pUnk.
struct STGMEDIUM {
  DWORD tymed = TYMED_NULL;
  union {
    HGLOBAL hGlobal;
    char16_t* lpszFileName;
    IUnknown* pUnk;
    void* handle;
  };
  IUnknown* pUnkForRelease = nullptr;
  STGMEDIUM() : handle(nullptr) {}
};

// Frees what the medium holds (or releases its release object instead) and clears it.
void ReleaseStgMedium(STGMEDIUM* medium);

// File names of a TYMED_FILE medium come from here.
void* CoTaskMemAlloc(std::size_t bytes);
void CoTaskMemFree(void* memory);

inline constexpr IID IID_IEnumFORMATETC = {0x00000103, 0x0000, 0x0000,
                                           {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IAdviseSink = {0x0000010F, 0x0000, 0x0000,
                                        {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IEnumSTATDATA = {0x00000105, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IDataObject = {0x0000010E, 0x0000, 0x0000,
                                        {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IDataAdviseHolder = {0x00000110, 0x0000, 0x0000,
                                              {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IEnumFORMATETC : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IEnumFORMATETC;
  virtual HRESULT Next(ULONG count, FORMATETC* formats, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFORMATETC** clone) = 0;

 protected:
  ~IEnumFORMATETC() = default;
};

struct IDataObject;

struct IAdviseSink : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IAdviseSink;
  virtual void OnDataChange(const FORMATETC* format, STGMEDIUM* medium) = 0;

 protected:
  ~IAdviseSink() = default;
};

inline constexpr DWORD ADVF_NODATA = 1;

struct STATDATA {
  FORMATETC formatetc;
  DWORD advf;
  IAdviseSink* pAdvSink;
  DWORD dwConnection;
};

struct IEnumSTATDATA : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IEnumSTATDATA;
  // Each STATDATA handed out holds a reference to its sink.
  virtual HRESULT Next(ULONG count, STATDATA* data, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumSTATDATA** clone) = 0;

 protected:
  ~IEnumSTATDATA() = default;
};

struct IDataObject : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IDataObject;
  virtual HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual HRESULT GetDataHere(const FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual HRESULT QueryGetData(const FORMATETC* format) = 0;
  virtual HRESULT GetCanonicalFormatEtc(const FORMATETC* in, FORMATETC* out) = 0;
  virtual HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
  virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) = 0;
  virtual HRESULT DAdvise(const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) = 0;
  virtual HRESULT DUnadvise(DWORD connection) = 0;
  virtual HRESULT EnumDAdvise(IEnumSTATDATA** enumerator) = 0;

 protected:
  ~IDataObject() = default;
};

struct IDataAdviseHolder : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IDataAdviseHolder;
  virtual HRESULT Advise(IDataObject* data, const FORMATETC* format, DWORD advf, IAdviseSink* sink,
                         DWORD* connection) = 0;
  virtual HRESULT Unadvise(DWORD connection) = 0;
  virtual HRESULT EnumAdvise(IEnumSTATDATA** enumerator) = 0;
  // Tells every sink; sinks without ADVF_NODATA get the data fetched from the object.
  virtual HRESULT SendOnDataChange(IDataObject* data, DWORD reserved, DWORD advf) = 0;

 protected:
  ~IDataAdviseHolder() = default;
};

HRESULT CreateDataAdviseHolder(IDataAdviseHolder** holder);

namespace platform::com {

// An enumerator over its own copy of the formats, starting at `index`.
ComPtr<IEnumFORMATETC> MakeFormatEnumerator(std::vector<FORMATETC> formats, std::size_t index = 0);

// Every format the object offers for getting, in its order; empty when it has no
// enumerator.
std::vector<FORMATETC> OfferedFormats(IDataObject* data);

// The bytes of a global block (empty for an unknown handle).
std::vector<std::uint8_t> BytesOfBlock(HGLOBAL memory);
// A new block holding the bytes; null when none can be had.
HGLOBAL NewBlock(const void* bytes, std::size_t size, UINT flags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE);

}  // namespace platform::com
