// Connection points: how an object hands its events to the sinks that subscribed.
// A sink subscribes with Advise on the connection point of the event interface and
// gets a cookie; Unadvise with that cookie ends the subscription. ConnectionPoint is
// the program's own implementation: Fire calls each sink's Invoke on the calling
// thread, with no lock held, so that a sink may call back into the source or
// unsubscribe while it is called.
#pragma once

#include <mutex>
#include <vector>

#include "platform/com/dispatch.h"

struct IConnectionPointContainer;
struct IEnumConnections;
struct IEnumConnectionPoints;

inline constexpr IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

struct IConnectionPoint : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IConnectionPoint;
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
  virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
  virtual HRESULT Unadvise(DWORD cookie) = 0;
  virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;

 protected:
  ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
  using Base = IUnknown;
  static constexpr const IID& kIid = IID_IConnectionPointContainer;
  virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;
  virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

namespace platform::com {

// One connection point for one event interface. Advise asks the sink for that
// interface (a dispatch interface, answered by the sink's IDispatch); a sink that
// does not answer it gets CONNECT_E_CANNOTCONNECT. Enumeration answers E_NOTIMPL.
class ConnectionPoint : public ComObject<IConnectionPoint> {
 public:
  // Container is the object whose events these are; it is not held (the container
  // holds the point and calls Detach before it goes).
  ConnectionPoint(REFIID events, IConnectionPointContainer* container);

  HRESULT GetConnectionInterface(IID* iid) override;
  HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT Unadvise(DWORD cookie) override;
  HRESULT EnumConnections(IEnumConnections** connections) override;

  // Calls member Id of every sink subscribed now, in the order of subscription, with
  // Args in natural order (a sink may change by-reference arguments in place). Each
  // sink's result is passed to OnResult when given.
  void Fire(DISPID id, std::vector<VARIANT>& args,
            const std::function<void(const VARIANT& result)>& onResult = {});

  bool HasSinks() const;
  // The container is going: GetConnectionPointContainer answers E_UNEXPECTED from now on.
  void Detach();

 private:
  struct Connection {
    DWORD cookie;
    ComPtr<IDispatch> sink;
  };
  const IID events_;
  mutable std::mutex lock_;
  IConnectionPointContainer* container_;
  std::vector<Connection> connections_;
  DWORD next_cookie_ = 1;
};

}  // namespace platform::com
