#include "platform/com/class_table.h"

#include <mutex>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"

namespace {

struct ThreadState {
  int initialisations = 0;
  DWORD model = 0;
};

thread_local ThreadState tls_com;

struct Registration {
  DWORD cookie;
  CLSID clsid;
  platform::com::ComPtr<IUnknown> classObject;
  DWORD context;
  DWORD flags;
};

struct ClassTable {
  std::mutex lock;
  std::vector<Registration> entries;
  DWORD nextCookie = 1;
};

ClassTable& TheTable() {
  static ClassTable table;
  return table;
}

DWORD ModelOf(DWORD flags) { return flags & COINIT_APARTMENTTHREADED; }

// The class object registered for the class in one of the contexts; a single-use
// registration is withdrawn when Take is set.
platform::com::ComPtr<IUnknown> FindClassObject(REFCLSID clsid, DWORD context, bool take) {
  ClassTable& table = TheTable();
  std::lock_guard guard(table.lock);
  for (auto it = table.entries.begin(); it != table.entries.end(); ++it) {
    if (it->clsid == clsid && (it->context & context) != 0) {
      platform::com::ComPtr<IUnknown> found = it->classObject;
      if (take && it->flags == REGCLS_SINGLEUSE) table.entries.erase(it);
      return found;
    }
  }
  return {};
}

}  // namespace

HRESULT CoInitializeEx(void*, DWORD flags) {
  ThreadState& state = tls_com;
  if (state.initialisations > 0) {
    if (state.model != ModelOf(flags)) return RPC_E_CHANGED_MODE;
    ++state.initialisations;
    return S_FALSE;
  }
  state.model = ModelOf(flags);
  state.initialisations = 1;
  return S_OK;
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (tls_com.initialisations > 0) --tls_com.initialisations;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD context, DWORD flags,
                              DWORD* cookie) {
  if (classObject == nullptr || cookie == nullptr) return E_INVALIDARG;
  *cookie = 0;
  if (flags != REGCLS_SINGLEUSE && flags != REGCLS_MULTIPLEUSE) return E_INVALIDARG;
  ClassTable& table = TheTable();
  std::lock_guard guard(table.lock);
  DWORD assigned = table.nextCookie++;
  table.entries.push_back(
      {assigned, clsid, platform::com::ComPtr<IUnknown>(classObject), context, flags});
  *cookie = assigned;
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  platform::com::ComPtr<IUnknown> released;  // released after the lock is left
  ClassTable& table = TheTable();
  std::lock_guard guard(table.lock);
  for (auto it = table.entries.begin(); it != table.entries.end(); ++it) {
    if (it->cookie == cookie) {
      released = std::move(it->classObject);
      table.entries.erase(it);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!platform::com::IsComInitialized()) return CO_E_NOTINITIALIZED;
  platform::com::ComPtr<IUnknown> classObject = FindClassObject(clsid, context, false);
  if (!classObject) return REGDB_E_CLASSNOTREG;
  return classObject->QueryInterface(iid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (platform::faults::ShouldFail("CoCreateInstance")) return HRESULT_FROM_WIN32(GetLastError());
  if (!platform::com::IsComInitialized()) return CO_E_NOTINITIALIZED;
  platform::com::ComPtr<IUnknown> classObject = FindClassObject(clsid, context, true);
  if (!classObject) return REGDB_E_CLASSNOTREG;
  platform::com::ComPtr<IClassFactory> factory;
  if (FAILED(classObject.As(factory))) return CLASS_E_CLASSNOTAVAILABLE;
  return factory->CreateInstance(outer, iid, object);
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
  if (text == nullptr || clsid == nullptr) return E_INVALIDARG;
  return platform::com::TextToGuid(text, *clsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT IIDFromString(LPCOLESTR text, IID* iid) {
  if (text == nullptr || iid == nullptr) return E_INVALIDARG;
  return platform::com::TextToGuid(text, *iid) ? S_OK : E_INVALIDARG;
}

namespace platform::com {

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  ComPtr<IUnknown> made = make_();
  if (!made) return E_OUTOFMEMORY;
  return made->QueryInterface(iid, object);
}

HRESULT ClassFactory::LockServer(BOOL) { return S_OK; }

bool IsComInitialized() { return tls_com.initialisations > 0; }

}  // namespace platform::com
