// The X server's atom of a name, made when the server has none yet; 0 when the server
// does not answer.
#pragma once

#include <xcb/xcb.h>

#include <string_view>

namespace platform::display {

xcb_atom_t InternAtom(xcb_connection_t* connection, std::string_view name);

}  // namespace platform::display
