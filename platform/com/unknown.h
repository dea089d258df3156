// Reference-counted interfaces: HRESULT result codes, IUnknown, the smart pointer that
// holds one counted reference, and the base that implements counting and
// QueryInterface for the objects of this program.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "platform/base/types.h"
#include "platform/com/guid.h"

using HRESULT = std::int32_t;
using SCODE = std::int32_t;

// Success and failure are told by the sign bit alone: S_FALSE is a success.
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT MakeHResult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
inline constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
inline constexpr HRESULT E_HANDLE = MakeHResult(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHResult(0x800401F3);
inline constexpr HRESULT RPC_E_CHANGED_MODE = MakeHResult(0x80010106);
inline constexpr HRESULT RPC_E_DISCONNECTED = MakeHResult(0x80010108);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHResult(0x80040200);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeHResult(0x80040201);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHResult(0x80040202);

inline constexpr DWORD FACILITY_WIN32 = 7;
constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) {
  return static_cast<std::int32_t>(code) <= 0
             ? static_cast<HRESULT>(code)
             : MakeHResult((code & 0x0000FFFF) | (FACILITY_WIN32 << 16) | 0x80000000);
}

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  static constexpr const IID& kIid = IID_IUnknown;
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

namespace platform::com {

// Holds one counted reference to an interface; copying adds a reference.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to Raw.
  explicit ComPtr(T* raw) : p_(raw) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& other) : ComPtr(static_cast<T*>(other.get())) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  void Reset() {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }
  // Takes over a reference that the caller already owns.
  void Attach(T* raw) {
    Reset();
    p_ = raw;
  }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(p_, nullptr); }
  // Releases the held reference and answers the slot for an out argument.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  // QueryInterface for U; an empty pointer answers E_POINTER.
  template <typename U>
  HRESULT As(ComPtr<U>& out) const {
    if (!p_) {
      out.Reset();
      return E_POINTER;
    }
    return p_->QueryInterface(U::kIid, out.PutVoid());
  }
  template <typename U>
  ComPtr<U> As() const {
    ComPtr<U> out;
    As(out);
    return out;
  }

 private:
  T* p_ = nullptr;
};

template <typename T, typename U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) {
  return a.get() == b.get();
}

// Object identity: two interface pointers belong to the same object when both answer
// the same IUnknown pointer. Two null pointers are the same; null and an object are not.
bool IsSameObject(IUnknown* a, IUnknown* b);

// Writes a new reference to Object into an out argument.
template <typename T>
HRESULT ReturnInterface(const ComPtr<T>& object, T** out) {
  if (out == nullptr) return E_POINTER;
  *out = object.get();
  if (*out) (*out)->AddRef();
  return S_OK;
}

namespace detail {
template <typename I>
void* MatchInterface(I* object, REFIID iid) {
  if (iid == I::kIid) return object;
  if constexpr (requires { typename I::Base; }) {
    return MatchInterface<typename I::Base>(object, iid);
  } else {
    return nullptr;
  }
}
}  // namespace detail

// Base of the program's COM objects: counts references (thread-safe) and answers
// QueryInterface for each listed interface and the interfaces it derives from
// (declared by a member type Base). The first listed interface gives the object's
// IUnknown identity. An object is created with MakeComObject and deleted when the
// last reference is released.
template <typename... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() = default;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    void* found = nullptr;
    ((found = found ? found : detail::MatchInterface<Interfaces>(this, iid)), ...);
    if (!found) found = QueryOther(iid);
    if (!found) return E_NOINTERFACE;
    *object = found;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  // Interfaces answered only in some states (for example by the kind of element);
  // answers the interface pointer without adding a reference, or null.
  virtual void* QueryOther(REFIID) { return nullptr; }

 private:
  std::atomic<ULONG> references_{0};
};

template <typename T, typename... Args>
ComPtr<T> MakeComObject(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace platform::com
