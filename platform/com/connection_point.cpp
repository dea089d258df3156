#include "platform/com/connection_point.h"

#include "platform/base/text.h"

namespace platform::com {

ConnectionPoint::ConnectionPoint(REFIID events, IConnectionPointContainer* container)
    : events_(events), container_(container) {}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = events_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  std::lock_guard guard(lock_);
  *container = container_;
  if (container_ == nullptr) return E_UNEXPECTED;
  container_->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  ComPtr<IDispatch> events;
  if (FAILED(sink->QueryInterface(events_, events.PutVoid())) || !events) return CONNECT_E_CANNOTCONNECT;
  std::lock_guard guard(lock_);
  DWORD assigned = next_cookie_++;
  connections_.push_back({assigned, std::move(events)});
  *cookie = assigned;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  ComPtr<IDispatch> released;  // released after the lock is left: a sink may call back
  std::lock_guard guard(lock_);
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->cookie == cookie) {
      released = std::move(it->sink);
      connections_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections) *connections = nullptr;
  return E_NOTIMPL;
}

void ConnectionPoint::Fire(DISPID id, std::vector<VARIANT>& args,
                           const std::function<void(const VARIANT& result)>& onResult) {
  std::vector<ComPtr<IDispatch>> sinks;
  {
    std::lock_guard guard(lock_);
    for (const Connection& each : connections_) sinks.push_back(each.sink);
  }
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  for (const ComPtr<IDispatch>& sink : sinks) {
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    Variant result;
    sink->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(), nullptr,
                 nullptr);
    if (onResult) onResult(result.raw());
  }
}

bool ConnectionPoint::HasSinks() const {
  std::lock_guard guard(lock_);
  return !connections_.empty();
}

void ConnectionPoint::Detach() {
  std::lock_guard guard(lock_);
  container_ = nullptr;
}

}  // namespace platform::com
