// The tree's data object: what a tree hands to the clipboard or a drag. It offers the
// tree's formats (and any format set into it), renders them through its tree on
// request, answers the reference format with (process id, tree id), and keeps data
// set into it. It names its tree by id, so a tree that is gone renders nothing.
// The format enumerator it hands out is the platform's, over a copy of its formats.
#pragma once

#include <vector>

#include "controls/vtree/vt_streams.h"

class TVTDataObject : public platform::com::ComObject<IDataObject> {
 public:
  TVTDataObject(TViewTreeStreams& owner, bool forClipboard);
  // A clipboard object's end takes its tree's cut/copy marks with it.
  ~TVTDataObject() override;

  HRESULT GetData(const FORMATETC* formatEtcIn, STGMEDIUM* medium) override;
  HRESULT GetDataHere(const FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT QueryGetData(const FORMATETC* format) override;
  HRESULT GetCanonicalFormatEtc(const FORMATETC* in, FORMATETC* out) override;
  HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) override;
  HRESULT DAdvise(const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override;
  HRESULT DUnadvise(DWORD connection) override;
  HRESULT EnumDAdvise(IEnumSTATDATA** enumerator) override;

  bool ForClipboard() const { return forClipboard_; }

 private:
  struct TInternalMedium {
    WORD Format;
    STGMEDIUM Medium;
  };
  TViewTreeStreams* Owner() const;
  HRESULT StgMediumIncRef(const STGMEDIUM& in, STGMEDIUM& out, bool copyInMedium, IDataObject* dataObject);
  TInternalMedium* FindInternal(WORD format);

  std::uint32_t ownerId_;
  bool forClipboard_;
  std::vector<FORMATETC> formats_;
  std::vector<TInternalMedium> internalMedia_;
  platform::com::ComPtr<IDataAdviseHolder> adviseHolder_;
};
