#include "platform/host/host_toolbar.h"

namespace platform::host {

bool CreateHostToolbar(platform::com::ComPtr<IQuindleToolbar>& toolbar) {
  HRESULT hr = CoCreateInstance(CLSID_QuindleToolbar, nullptr, kHostClassContext, IID_IQuindleToolbar,
                                toolbar.PutVoid());
  if (FAILED(hr)) toolbar.Reset();
  return SUCCEEDED(hr);
}

}  // namespace platform::host
