#include "platform/com/ole_clipboard.h"

#include <mutex>

#include "platform/win/clipboard.h"

using platform::com::ComObject;
using platform::com::ComPtr;

namespace {

struct OleClipboard {
  std::mutex lock;
  ComPtr<IDataObject> current;
};

OleClipboard& Ole() {
  static OleClipboard clipboard;
  return clipboard;
}

FORMATETC GlobalFormat(WORD format) { return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// Takes the object's block for a format; the clipboard owns blocks it keeps, so a
// block the object still owns is copied.
HGLOBAL RenderFrom(IDataObject* data, UINT format) {
  FORMATETC wanted = GlobalFormat(static_cast<WORD>(format));
  STGMEDIUM medium;
  if (FAILED(data->GetData(&wanted, &medium))) return nullptr;
  if (medium.tymed != TYMED_HGLOBAL) {
    ReleaseStgMedium(&medium);
    return nullptr;
  }
  HGLOBAL block = medium.hGlobal;
  if (medium.pUnkForRelease != nullptr) {
    std::vector<std::uint8_t> bytes = platform::com::BytesOfBlock(block);
    block = platform::com::NewBlock(bytes.data(), bytes.size());
    ReleaseStgMedium(&medium);
  }
  return block;
}

void LetGo(IDataObject* data) {
  ComPtr<IDataObject> released;
  std::lock_guard guard(Ole().lock);
  if (Ole().current.get() == data) released = std::move(Ole().current);
}

// Reads the window system's clipboard: what is there when asked.
class SystemClipboardData : public ComObject<IDataObject> {
 public:
  HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override {
    if (format == nullptr || medium == nullptr) return E_INVALIDARG;
    *medium = STGMEDIUM{};
    if ((format->tymed & TYMED_HGLOBAL) == 0) return DV_E_TYMED;
    if (!OpenClipboard(0)) return CLIPBRD_E_CANT_OPEN;
    HGLOBAL block = GetClipboardData(format->cfFormat);
    std::vector<std::uint8_t> bytes = platform::com::BytesOfBlock(block);
    CloseClipboard();
    if (block == nullptr) return DV_E_FORMATETC;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = platform::com::NewBlock(bytes.data(), bytes.size());
    return medium->hGlobal != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT GetDataHere(const FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT QueryGetData(const FORMATETC* format) override {
    if (format == nullptr) return E_INVALIDARG;
    if ((format->tymed & TYMED_HGLOBAL) == 0) return DV_E_TYMED;
    return IsClipboardFormatAvailable(format->cfFormat) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT GetCanonicalFormatEtc(const FORMATETC*, FORMATETC*) override { return DATA_S_SAMEFORMATETC; }
  HRESULT SetData(const FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> formats;
    if (!OpenClipboard(0)) return CLIPBRD_E_CANT_OPEN;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
      formats.push_back(GlobalFormat(static_cast<WORD>(format)));
    }
    CloseClipboard();
    return platform::com::ReturnInterface(platform::com::MakeFormatEnumerator(std::move(formats)), enumerator);
  }
  HRESULT DAdvise(const FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA** enumerator) override {
    if (enumerator != nullptr) *enumerator = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
  }
};

}  // namespace

HRESULT OleSetClipboard(IDataObject* data) {
  if (!OpenClipboard(0)) return CLIPBRD_E_CANT_OPEN;
  if (data == nullptr) {
    bool ours = false;
    {
      std::lock_guard guard(Ole().lock);
      ours = static_cast<bool>(Ole().current);
    }
    if (ours) EmptyClipboard();
    CloseClipboard();
    return S_OK;
  }
  // Emptying lets the previous object go through its offer's release.
  EmptyClipboard();
  ComPtr<IDataObject> held(data);
  platform::win::ClipboardRenderer renderer;
  for (const FORMATETC& format : platform::com::OfferedFormats(data)) {
    if (format.tymed & TYMED_HGLOBAL) renderer.formats.push_back(format.cfFormat);
  }
  renderer.render = [held](UINT format) { return RenderFrom(held.get(), format); };
  renderer.released = [raw = data] { LetGo(raw); };
  {
    std::lock_guard guard(Ole().lock);
    Ole().current = held;
  }
  platform::win::OfferClipboardFormats(std::move(renderer));
  CloseClipboard();
  return S_OK;
}

HRESULT OleGetClipboard(IDataObject** data) {
  if (data == nullptr) return E_INVALIDARG;
  ComPtr<IDataObject> answer;
  {
    std::lock_guard guard(Ole().lock);
    answer = Ole().current;
  }
  if (!answer) answer = ComPtr<IDataObject>(platform::com::MakeComObject<SystemClipboardData>().get());
  return platform::com::ReturnInterface(answer, data);
}

HRESULT OleFlushClipboard() {
  ComPtr<IDataObject> current;
  {
    std::lock_guard guard(Ole().lock);
    current = Ole().current;
  }
  if (!current) return S_OK;
  if (!OpenClipboard(0)) return CLIPBRD_E_CANT_OPEN;
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    GetClipboardData(format);
  }
  platform::win::WithdrawClipboardFormats();
  CloseClipboard();
  LetGo(current.get());
  return S_OK;
}

HRESULT OleIsCurrentClipboard(IDataObject* data) {
  std::lock_guard guard(Ole().lock);
  return data != nullptr && Ole().current.get() == data ? S_OK : S_FALSE;
}
