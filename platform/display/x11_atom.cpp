#include "platform/display/x11_atom.h"

#include <cstdlib>

xcb_atom_t platform::display::InternAtom(xcb_connection_t* connection, std::string_view name) {
  auto* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
  xcb_atom_t atom = reply ? reply->atom : 0;
  std::free(reply);
  return atom;
}
