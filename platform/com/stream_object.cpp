#include "platform/com/stream_object.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

using platform::com::ComObject;
using platform::com::ComPtr;
using platform::com::MakeComObject;

namespace {

// The bytes the streams over one block share: the block, how many of its bytes are
// the stream's, and whether the last stream frees it.
struct SharedBlock {
  HGLOBAL block = nullptr;
  std::size_t size = 0;
  bool owned = false;
  ~SharedBlock() {
    if (owned) GlobalFree(block);
  }
  // Room for `needed` bytes; an owned block moves to a larger one, keeping its bytes.
  bool Reserve(std::size_t needed) {
    const std::size_t capacity = GlobalSize(block);
    if (needed <= capacity) return true;
    if (!owned) return false;
    const std::size_t grown = std::max(needed, capacity * 2);
    HGLOBAL larger = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, grown);
    if (larger == nullptr) return false;
    if (size > 0) {
      std::memcpy(GlobalLock(larger), GlobalLock(block), size);
      GlobalUnlock(larger);
      GlobalUnlock(block);
    }
    GlobalFree(block);
    block = larger;
    return true;
  }
  std::uint8_t* Bytes() const { return static_cast<std::uint8_t*>(GlobalLock(block)); }
  void Done() const { GlobalUnlock(block); }
};

class GlobalStream : public ComObject<IStream> {
 public:
  explicit GlobalStream(std::shared_ptr<SharedBlock> shared, std::size_t position = 0)
      : shared_(std::move(shared)), position_(position) {}

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    if (buffer == nullptr && count > 0) return STG_E_INVALIDPOINTER;
    const auto taken = static_cast<ULONG>(std::min<std::size_t>(count, Remaining()));
    if (taken > 0) {
      std::memcpy(buffer, shared_->Bytes() + position_, taken);
      shared_->Done();
    }
    position_ += taken;
    if (read != nullptr) *read = taken;
    return taken == count ? S_OK : S_FALSE;
  }

  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    if (written != nullptr) *written = 0;
    if (buffer == nullptr && count > 0) return STG_E_INVALIDPOINTER;
    if (count == 0) return S_OK;
    const std::size_t end = position_ + count;
    if (!shared_->Reserve(end)) return STG_E_MEDIUMFULL;
    std::memcpy(shared_->Bytes() + position_, buffer, count);
    shared_->Done();
    position_ = end;
    shared_->size = std::max(shared_->size, end);
    if (written != nullptr) *written = count;
    return S_OK;
  }

  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    LONGLONG base = 0;
    switch (origin) {
      case STREAM_SEEK_SET: break;
      case STREAM_SEEK_CUR: base = static_cast<LONGLONG>(position_); break;
      case STREAM_SEEK_END: base = static_cast<LONGLONG>(shared_->size); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    const LONGLONG target = base + move.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<std::size_t>(target);
    if (position != nullptr) position->QuadPart = position_;
    return S_OK;
  }

  HRESULT SetSize(ULARGE_INTEGER size) override {
    const auto wanted = static_cast<std::size_t>(size.QuadPart);
    if (wanted > shared_->size) {
      if (!shared_->Reserve(wanted)) return STG_E_MEDIUMFULL;
      std::memset(shared_->Bytes() + shared_->size, 0, wanted - shared_->size);
      shared_->Done();
    }
    shared_->size = wanted;
    return S_OK;
  }

  HRESULT CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override {
    if (target == nullptr) return STG_E_INVALIDPOINTER;
    const auto taken = static_cast<ULONG>(std::min<ULONGLONG>({count.QuadPart, Remaining(), 0xFFFFFFFFu}));
    std::vector<std::uint8_t> bytes(taken);
    ULONG got = 0, put = 0;
    Read(bytes.data(), taken, &got);
    const HRESULT result = target->Write(bytes.data(), got, &put);
    if (read != nullptr) read->QuadPart = got;
    if (written != nullptr) written->QuadPart = put;
    return result;
  }

  // Memory has no transaction: every write is final.
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT Stat(STATSTG* stat, DWORD) override {
    if (stat == nullptr) return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = shared_->size;
    return S_OK;
  }

  HRESULT Clone(IStream** clone) override {
    if (clone == nullptr) return STG_E_INVALIDPOINTER;
    return platform::com::ReturnInterface(ComPtr<IStream>(MakeComObject<GlobalStream>(shared_, position_).get()),
                                          clone);
  }

 private:
  // The bytes from the position to the end.
  std::size_t Remaining() const { return position_ < shared_->size ? shared_->size - position_ : 0; }

  std::shared_ptr<SharedBlock> shared_;
  std::size_t position_;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL memory, BOOL deleteOnRelease, IStream** stream) {
  if (stream == nullptr) return E_INVALIDARG;
  *stream = nullptr;
  auto shared = std::make_shared<SharedBlock>();
  if (memory == nullptr) {
    memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 0);
    if (memory == nullptr) return E_OUTOFMEMORY;
    deleteOnRelease = TRUE;
  } else if (GlobalLock(memory) == nullptr) {
    return E_INVALIDARG;
  } else {
    GlobalUnlock(memory);
  }
  shared->block = memory;
  shared->size = GlobalSize(memory);
  shared->owned = deleteOnRelease != FALSE;
  return platform::com::ReturnInterface(ComPtr<IStream>(MakeComObject<GlobalStream>(std::move(shared)).get()),
                                        stream);
}
