// Container streams from any bytes: the first byte picks the container kind and the
// stream options. A damaged stream may only end in a stream or container error, and
// whatever was loaded must stay usable.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "controls/htmllabel/mk_handlers.h"
#include "controls/htmllabel/mk_typed_containers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::unique_ptr<TMkContainer> container;
  switch (data[0] % 4) {
    case 0: container = std::make_unique<TMkCardinalHash>(MkWideStringCIKeyHandler()); break;
    case 1: container = std::make_unique<TMkList>(MkWideString2CardinalItemHandler()); break;
    case 2: container = std::make_unique<TMkTree>(MkWideStringItemHandler()); break;
    default: container = std::make_unique<TMkWideString2CardinalVector>(); break;
  }
  TMemoryStream stream;
  stream.Write(data + 1, static_cast<std::int32_t>(size - 1));
  stream.SetPosition(0);
  try {
    container->LoadFromStream(&stream, (data[0] >> 2) & 7, 0);
  } catch (const EStreamError&) {
  } catch (const EMkContainerError&) {
  }
  std::int32_t seen = 0;
  container->Iterate([&](void*) { ++seen; });
  if (seen != container->Count()) __builtin_trap();
  TMemoryStream out;
  container->SaveToStream(&out, kAllStreamOptions, 0);
  return 0;
}
