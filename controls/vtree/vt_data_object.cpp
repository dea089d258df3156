#include "controls/vtree/vt_data_object.h"

#include <cstring>

#include "platform/kernel/process.h"

using platform::com::ComPtr;

TVTDataObject::TVTDataObject(TViewTreeStreams& owner, bool forClipboard)
    : ownerId_(owner.TreeId()), forClipboard_(forClipboard), formats_(owner.OwnClipboardFormats()) {}

TVTDataObject::~TVTDataObject() {
  if (TViewTreeStreams* owner = Owner(); owner != nullptr && forClipboard_) owner->ClipboardObjectGone(this);
  for (TInternalMedium& entry : internalMedia_) ReleaseStgMedium(&entry.Medium);
}

TViewTreeStreams* TVTDataObject::Owner() const {
  return TViewTreeStreams::FindLiveTree(GetCurrentProcessId(), ownerId_);
}

TVTDataObject::TInternalMedium* TVTDataObject::FindInternal(WORD format) {
  for (TInternalMedium& entry : internalMedia_) {
    if (entry.Format == format) return &entry;
  }
  return nullptr;
}

HRESULT TVTDataObject::GetData(const FORMATETC* formatEtcIn, STGMEDIUM* medium) {
  if (formatEtcIn == nullptr || medium == nullptr) return E_INVALIDARG;
  *medium = STGMEDIUM{};
  TViewTreeStreams* owner = Owner();
  if (formatEtcIn->cfFormat == TreeGlobals().CF_VTREFERENCE) {
    if (owner == nullptr || owner->InState(tsClipboardFlushing)) return E_FAIL;
    const std::uint32_t reference[2] = {GetCurrentProcessId(), ownerId_};
    medium->hGlobal = platform::com::NewBlock(reference, sizeof reference);
    if (medium->hGlobal == nullptr) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    return S_OK;
  }
  if (HRESULT query = QueryGetData(formatEtcIn); query != S_OK) return query;
  if (TInternalMedium* stored = FindInternal(formatEtcIn->cfFormat); stored != nullptr && stored->Medium.tymed != 0) {
    return StgMediumIncRef(stored->Medium, *medium, false, this);
  }
  if (owner == nullptr) return E_FAIL;
  return owner->RenderOLEData(*formatEtcIn, *medium, forClipboard_);
}

HRESULT TVTDataObject::GetDataHere(const FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT TVTDataObject::QueryGetData(const FORMATETC* format) {
  if (format == nullptr) return E_INVALIDARG;
  HRESULT result = DV_E_FORMATETC;
  for (const FORMATETC& offered : formats_) {
    if (offered.cfFormat != format->cfFormat) continue;
    if ((offered.tymed & format->tymed) == 0) {
      result = DV_E_TYMED;
    } else if (offered.dwAspect != format->dwAspect) {
      result = DV_E_DVASPECT;
    } else if (offered.lindex != format->lindex) {
      result = DV_E_LINDEX;
    } else {
      return S_OK;
    }
  }
  return result;
}

HRESULT TVTDataObject::GetCanonicalFormatEtc(const FORMATETC*, FORMATETC*) { return DATA_S_SAMEFORMATETC; }

HRESULT TVTDataObject::SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) {
  if (format == nullptr || medium == nullptr) return E_INVALIDARG;
  TInternalMedium* entry = FindInternal(format->cfFormat);
  const bool offered = std::any_of(formats_.begin(), formats_.end(),
                                   [&](const FORMATETC& f) { return f.cfFormat == format->cfFormat; });
  if (!offered) formats_.push_back(*format);
  if (entry == nullptr) {
    internalMedia_.push_back(TInternalMedium{format->cfFormat, STGMEDIUM{}});
    entry = &internalMedia_.back();
  } else {
    ReleaseStgMedium(&entry->Medium);
  }
  HRESULT result = S_OK;
  if (release) {
    entry->Medium = *medium;
  } else {
    result = StgMediumIncRef(*medium, entry->Medium, true, this);
    // A copy released through this very object would keep it alive forever.
    if (SUCCEEDED(result) && entry->Medium.pUnkForRelease != nullptr &&
        platform::com::IsSameObject(entry->Medium.pUnkForRelease, static_cast<IDataObject*>(this))) {
      entry->Medium.pUnkForRelease->Release();
      entry->Medium.pUnkForRelease = nullptr;
    }
  }
  if (adviseHolder_) adviseHolder_->SendOnDataChange(this, 0, 0);
  return result;
}

HRESULT TVTDataObject::StgMediumIncRef(const STGMEDIUM& in, STGMEDIUM& out, bool copyInMedium,
                                       IDataObject* dataObject) {
  out = in;
  auto releaseThrough = [&]() -> HRESULT {
    if (dataObject == nullptr && in.pUnkForRelease == nullptr) return DV_E_TYMED;
    out.pUnkForRelease = dataObject;
    return S_OK;
  };
  HRESULT result = S_OK;
  switch (in.tymed) {
    case TYMED_HGLOBAL:
      if (copyInMedium) {
        std::vector<std::uint8_t> bytes = platform::com::BytesOfBlock(in.hGlobal);
        out.hGlobal = platform::com::NewBlock(bytes.data(), bytes.size(), GMEM_FIXED | GMEM_ZEROINIT);
        if (out.hGlobal == nullptr) result = E_OUTOFMEMORY;
      } else {
        result = releaseThrough();
      }
      break;
    case TYMED_FILE: {
      std::size_t length = 0;
      while (in.lpszFileName != nullptr && in.lpszFileName[length] != 0) ++length;
      out.lpszFileName = static_cast<char16_t*>(CoTaskMemAlloc((length + 1) * sizeof(char16_t)));
      if (out.lpszFileName == nullptr) return E_OUTOFMEMORY;
      if (length > 0) std::memcpy(out.lpszFileName, in.lpszFileName, length * sizeof(char16_t));
      out.lpszFileName[length] = 0;
      break;
    }
    case TYMED_ISTREAM:
    case TYMED_ISTORAGE:
      if (in.pUnk != nullptr) in.pUnk->AddRef();
      break;
    case TYMED_GDI:
    case TYMED_MFPICT:
    case TYMED_ENHMF:
      result = in.pUnkForRelease != nullptr || (dataObject != nullptr && !copyInMedium) ? releaseThrough()
                                                                                        : DV_E_TYMED;
      break;
    default:
      break;
  }
  if (FAILED(result)) {
    out = STGMEDIUM{};
    return result;
  }
  if (out.pUnkForRelease != nullptr) out.pUnkForRelease->AddRef();
  return S_OK;
}

HRESULT TVTDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) {
  if (enumerator == nullptr) return E_INVALIDARG;
  *enumerator = nullptr;
  if (direction != DATADIR_GET) return OLE_S_USEREG;
  return platform::com::ReturnInterface(platform::com::MakeFormatEnumerator(formats_), enumerator);
}

HRESULT TVTDataObject::DAdvise(const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) {
  if (!adviseHolder_) {
    HRESULT created = CreateDataAdviseHolder(adviseHolder_.Put());
    if (FAILED(created)) return created;
  }
  return adviseHolder_->Advise(this, format, advf, sink, connection);
}

HRESULT TVTDataObject::DUnadvise(DWORD connection) {
  return adviseHolder_ ? adviseHolder_->Unadvise(connection) : E_NOTIMPL;
}

HRESULT TVTDataObject::EnumDAdvise(IEnumSTATDATA** enumerator) {
  if (enumerator != nullptr) *enumerator = nullptr;
  return adviseHolder_ ? adviseHolder_->EnumAdvise(enumerator) : OLE_E_ADVISENOTSUPPORTED;
}
