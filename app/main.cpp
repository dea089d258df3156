// Pellix: until the start-up routine is in place, the program checks that its
// foundation works on this machine and exits.
#include <cstdio>

#include "platform/base/state_root.h"
#include "platform/base/text.h"

int main() {
  const auto root = platform::StateRoot();
  if (root.empty()) {
    std::fprintf(stderr, "Pellix: no folder for the user's state\n");
    return 1;
  }
  std::printf("Pellix: state folder %s, code page %u\n", root.c_str(), GetACP());
  return 0;
}
