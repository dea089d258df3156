#include "platform/com/data_object.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

using platform::com::ComObject;
using platform::com::ComPtr;
using platform::com::MakeComObject;

void* CoTaskMemAlloc(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
void CoTaskMemFree(void* memory) { std::free(memory); }

void ReleaseStgMedium(STGMEDIUM* medium) {
  if (medium == nullptr) return;
  if (medium->pUnkForRelease != nullptr) {
    medium->pUnkForRelease->Release();
  } else {
    switch (medium->tymed) {
      case TYMED_HGLOBAL:
        GlobalFree(medium->hGlobal);
        break;
      case TYMED_FILE:
        CoTaskMemFree(medium->lpszFileName);
        break;
      case TYMED_ISTREAM:
      case TYMED_ISTORAGE:
        if (medium->pUnk != nullptr) medium->pUnk->Release();
        break;
      default:
        break;
    }
  }
  *medium = STGMEDIUM{};
}

namespace {

template <typename Interface, typename Item>
class ListEnumerator : public ComObject<Interface> {
 public:
  ListEnumerator(std::vector<Item> items, std::size_t index) : items_(std::move(items)), index_(index) {}

  HRESULT Next(ULONG count, Item* out, ULONG* fetched) override {
    if (out == nullptr && count > 0) return E_POINTER;
    ULONG taken = 0;
    while (taken < count && index_ < items_.size()) {
      out[taken] = items_[index_++];
      Taken(out[taken]);
      ++taken;
    }
    if (fetched != nullptr) *fetched = taken;
    return taken == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    if (items_.size() - index_ < count) return S_FALSE;
    index_ += count;
    return S_OK;
  }
  HRESULT Reset() override {
    index_ = 0;
    return S_OK;
  }
  HRESULT Clone(Interface** clone) override {
    return platform::com::ReturnInterface(
        ComPtr<Interface>(MakeComObject<ListEnumerator>(items_, index_).get()), clone);
  }

 private:
  static void Taken(FORMATETC&) {}
  static void Taken(STATDATA& data) {
    if (data.pAdvSink != nullptr) data.pAdvSink->AddRef();
  }
  std::vector<Item> items_;
  std::size_t index_;
};

class AdviseHolder : public ComObject<IDataAdviseHolder> {
 public:
  ~AdviseHolder() override {
    for (STATDATA& entry : entries_) entry.pAdvSink->Release();
  }
  HRESULT Advise(IDataObject* data, const FORMATETC* format, DWORD advf, IAdviseSink* sink,
                 DWORD* connection) override {
    if (format == nullptr || sink == nullptr || connection == nullptr) return E_INVALIDARG;
    std::lock_guard guard(lock_);
    sink->AddRef();
    entries_.push_back(STATDATA{*format, advf, sink, ++lastConnection_});
    *connection = lastConnection_;
    (void)data;
    return S_OK;
  }
  HRESULT Unadvise(DWORD connection) override {
    IAdviseSink* sink = nullptr;
    {
      std::lock_guard guard(lock_);
      std::erase_if(entries_, [&](const STATDATA& entry) {
        if (entry.dwConnection != connection) return false;
        sink = entry.pAdvSink;
        return true;
      });
    }
    if (sink == nullptr) return OLE_E_NOCONNECTION;
    sink->Release();
    return S_OK;
  }
  HRESULT EnumAdvise(IEnumSTATDATA** enumerator) override {
    std::lock_guard guard(lock_);
    return platform::com::ReturnInterface(
        ComPtr<IEnumSTATDATA>(MakeComObject<ListEnumerator<IEnumSTATDATA, STATDATA>>(entries_, 0).get()),
        enumerator);
  }
  HRESULT SendOnDataChange(IDataObject* data, DWORD, DWORD) override {
    std::vector<STATDATA> entries;
    {
      std::lock_guard guard(lock_);
      entries = entries_;
      for (STATDATA& entry : entries) entry.pAdvSink->AddRef();
    }
    for (STATDATA& entry : entries) {
      STGMEDIUM medium;
      bool withData = (entry.advf & ADVF_NODATA) == 0 && data != nullptr &&
                      SUCCEEDED(data->GetData(&entry.formatetc, &medium));
      entry.pAdvSink->OnDataChange(&entry.formatetc, withData ? &medium : nullptr);
      if (withData) ReleaseStgMedium(&medium);
      entry.pAdvSink->Release();
    }
    return S_OK;
  }

 private:
  std::mutex lock_;
  std::vector<STATDATA> entries_;
  DWORD lastConnection_ = 0;
};

}  // namespace

HRESULT CreateDataAdviseHolder(IDataAdviseHolder** holder) {
  return platform::com::ReturnInterface(ComPtr<IDataAdviseHolder>(MakeComObject<AdviseHolder>().get()), holder);
}

ComPtr<IEnumFORMATETC> platform::com::MakeFormatEnumerator(std::vector<FORMATETC> formats, std::size_t index) {
  return ComPtr<IEnumFORMATETC>(
      MakeComObject<ListEnumerator<IEnumFORMATETC, FORMATETC>>(std::move(formats), index).get());
}

std::vector<FORMATETC> platform::com::OfferedFormats(IDataObject* data) {
  std::vector<FORMATETC> formats;
  ComPtr<IEnumFORMATETC> enumerator;
  if (data == nullptr || FAILED(data->EnumFormatEtc(DATADIR_GET, enumerator.Put())) || !enumerator) return formats;
  FORMATETC format;
  while (enumerator->Next(1, &format, nullptr) == S_OK) formats.push_back(format);
  return formats;
}

std::vector<std::uint8_t> platform::com::BytesOfBlock(HGLOBAL memory) {
  auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
  if (bytes == nullptr) return {};
  std::vector<std::uint8_t> copy(bytes, bytes + GlobalSize(memory));
  GlobalUnlock(memory);
  return copy;
}

HGLOBAL platform::com::NewBlock(const void* bytes, std::size_t size, UINT flags) {
  HGLOBAL memory = GlobalAlloc(flags, size);
  if (memory == nullptr) return nullptr;
  if (size > 0) {
    std::memcpy(GlobalLock(memory), bytes, size);
    GlobalUnlock(memory);
  }
  return memory;
}
