// The class table: COM start-up per thread, classes registered by their class
// objects, and creation of objects by class id. Classes registered here serve this
// process; classes served by another process (local servers listed in the registry)
// are not reachable yet, and asking for one answers REGDB_E_CLASSNOTREG.
#pragma once

#include <functional>

#include "platform/com/dispatch.h"

inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER |
                                    CLSCTX_REMOTE_SERVER;

inline constexpr DWORD REGCLS_SINGLEUSE = 0;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;

inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IClassFactory : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IClassFactory;
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// S_OK for the first call on a thread, S_FALSE for a further call with the same
// model, RPC_E_CHANGED_MODE for a call with the other model (which does not count).
HRESULT CoInitializeEx(void* reserved, DWORD flags);
HRESULT CoInitialize(void* reserved);
// Ends one successful CoInitializeEx of this thread.
void CoUninitialize();

// Registers a class object for a class id in the given contexts. REGCLS_SINGLEUSE
// serves one CoCreateInstance and is then withdrawn.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD context, DWORD flags,
                              DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID iid, void** object);
// CO_E_NOTINITIALIZED on a thread without CoInitializeEx; REGDB_E_CLASSNOTREG for a
// class not registered in any of the asked contexts. The planned failure
// "CoCreateInstance" answers the planned error as an HRESULT.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

// Reads the braced text of a class id; CO_E_CLASSSTRING when it is not one.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
HRESULT IIDFromString(LPCOLESTR text, IID* iid);

namespace platform::com {

// A class object that makes each instance with Make, which answers a new object
// (holding one reference) or null when it cannot.
class ClassFactory : public ComObject<IClassFactory> {
 public:
  using Maker = std::function<ComPtr<IUnknown>()>;
  explicit ClassFactory(Maker make) : make_(std::move(make)) {}
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT LockServer(BOOL lock) override;

 private:
  Maker make_;
};

// Whether the calling thread has initialised COM.
bool IsComInitialized();

}  // namespace platform::com
