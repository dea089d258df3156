#include "platform/display/xserver.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/display/x11_atom.h"
#include "platform/win/input_driver.h"

namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";

pid_t Spawn(const std::vector<std::string>& arguments, const std::string& display, int keepFd) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  int null = open("/dev/null", O_RDWR);
  dup2(null, 0);
  dup2(null, 1);
  dup2(null, 2);
  for (int fd = 3; fd < 1024; ++fd) {
    if (fd != keepFd) close(fd);
  }
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

void End(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

namespace pellix_test {

bool XServer::Installed() { return access(kXvfb, X_OK) == 0; }

XServer::XServer() {
  if (!Installed()) return;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  pid_ = Spawn({kXvfb, "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-displayfd", std::to_string(pipeFds[1])},
               {}, pipeFds[1]);
  close(pipeFds[1]);
  std::string number;
  char c;
  while (read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
  close(pipeFds[0]);
  if (!number.empty()) name_ = ":" + number;
}

XServer::~XServer() { End(pid_); }

XClient::XClient(const XServer& server, const std::string& program, const std::string& arguments) {
  std::vector<std::string> argv{program};
  for (std::size_t start = 0; start < arguments.size();) {
    std::size_t end = arguments.find(' ', start);
    if (end == std::string::npos) end = arguments.size();
    if (end > start) argv.push_back(arguments.substr(start, end - start));
    start = end + 1;
  }
  pid_ = Spawn(argv, server.Name(), -1);
}

XClient::~XClient() { End(pid_); }

XUser::XUser(const XServer& server) {
  connection_ = xcb_connect(server.Name().c_str(), nullptr);
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

XUser::~XUser() { xcb_disconnect(connection_); }

void XUser::MoveTo(int x, int y) {
  xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 0);
  // A round trip, so the pointer stands where it was sent before the program maps
  // anything under it.
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

void XUser::Click(int x, int y, int button) {
  MoveTo(x, y);
  xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, static_cast<std::uint8_t>(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, static_cast<std::uint8_t>(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                      0);
  xcb_flush(connection_);
}

void XUser::Key(std::uint8_t keycode, bool press) {
  xcb_test_fake_input(connection_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                      0);
}

std::uint8_t XUser::KeycodeOf(std::uint32_t keysym) {
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
  auto* reply = xcb_get_keyboard_mapping_reply(
      connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, count), nullptr);
  std::uint8_t found = 0, spare = 0;
  const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply);
  for (int key = 0; key < count && found == 0; ++key) {
    bool empty = true;
    for (int level = 0; level < reply->keysyms_per_keycode; ++level) {
      xcb_keysym_t symbol = symbols[key * reply->keysyms_per_keycode + level];
      if (symbol == keysym && level < 2) found = static_cast<std::uint8_t>(setup->min_keycode + key);
      empty = empty && symbol == 0;
    }
    if (empty && spare == 0) spare = static_cast<std::uint8_t>(setup->min_keycode + key);
  }
  std::uint8_t perKey = reply->keysyms_per_keycode;
  std::free(reply);
  if (found != 0) return found;
  std::vector<xcb_keysym_t> mapping(perKey, keysym);
  xcb_change_keyboard_mapping(connection_, 1, spare, perKey, mapping.data());
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  // The backend reloads its keymap when the server tells it of the change.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  return spare;
}

void XUser::PrepareKeys(const std::vector<std::uint32_t>& keysyms) {
  for (std::uint32_t keysym : keysyms) KeycodeOf(keysym);
}

void XUser::Type(std::uint32_t keysym, bool shift) {
  std::uint8_t keycode = KeycodeOf(keysym);
  constexpr std::uint32_t kShiftL = 0xFFE1;
  std::uint8_t shiftKey = shift ? KeycodeOf(kShiftL) : 0;
  if (shift) Key(shiftKey, true);
  Key(keycode, true);
  Key(keycode, false);
  if (shift) Key(shiftKey, false);
  xcb_flush(connection_);
}

void XUser::Configure(xcb_window_t window, int x, int y, int width, int height) {
  const std::uint32_t values[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                                  static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
  xcb_configure_window(connection_, window,
                       XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                       values);
  xcb_flush(connection_);
}

void XUser::Focus(xcb_window_t window) {
  xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
  xcb_flush(connection_);
}

void XUser::AskToClose(xcb_window_t window) {
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = AtomOf("WM_PROTOCOLS");
  message.data.data32[0] = AtomOf("WM_DELETE_WINDOW");
  xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
  xcb_flush(connection_);
}

xcb_atom_t XUser::AtomOf(const std::string& name) { return platform::display::InternAtom(connection_, name); }

std::string XUser::TextProperty(xcb_window_t window, const std::string& name) {
  auto* reply = xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 0, window, AtomOf(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
  if (reply == nullptr) return {};
  std::string text(static_cast<const char*>(xcb_get_property_value(reply)),
                   static_cast<std::size_t>(xcb_get_property_value_length(reply)));
  std::free(reply);
  return text;
}

std::vector<std::uint32_t> XUser::Property32(xcb_window_t window, const std::string& name) {
  auto* reply = xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 0, window, AtomOf(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
  if (reply == nullptr) return {};
  const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
  std::vector<std::uint32_t> result(values, values + xcb_get_property_value_length(reply) / 4);
  std::free(reply);
  return result;
}

bool XUser::OverrideRedirect(xcb_window_t window) {
  auto* reply =
      xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr);
  bool result = reply && reply->override_redirect;
  std::free(reply);
  return result;
}

bool XUser::Viewable(xcb_window_t window) {
  auto* reply =
      xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr);
  bool result = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(reply);
  return result;
}

xcb_window_t XUser::ParentOf(xcb_window_t window) {
  auto* reply = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr);
  xcb_window_t parent = reply ? reply->parent : 0;
  std::free(reply);
  return parent;
}

xcb_window_t XUser::SelectionOwner(const std::string& selection) {
  auto* reply =
      xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, AtomOf(selection)), nullptr);
  xcb_window_t owner = reply ? reply->owner : 0;
  std::free(reply);
  return owner;
}

POINT XUser::CentreOf(xcb_window_t window) {
  auto* geometry = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
  auto* where = xcb_translate_coordinates_reply(
      connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr);
  POINT centre{where->dst_x + geometry->width / 2, where->dst_y + geometry->height / 2};
  std::free(geometry);
  std::free(where);
  return centre;
}

std::uint32_t XUser::PixelAt(POINT point) {
  auto* reply = xcb_get_image_reply(
      connection_,
      xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<std::int16_t>(point.x),
                    static_cast<std::int16_t>(point.y), 1, 1, ~0u),
      nullptr);
  if (reply == nullptr) return 0xFFFFFFFF;
  std::uint32_t pixel;
  std::memcpy(&pixel, xcb_get_image_data(reply), 4);
  std::free(reply);
  return pixel & 0xFFFFFF;
}

bool XUser::Exists(xcb_window_t window) {
  auto* reply = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
  std::free(reply);
  return reply != nullptr;
}

bool Eventually(const std::function<bool()>& done) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < until) {
    platform::input_driver::RunPending();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

XClipboardPeer::XClipboardPeer(const XServer& server) {
  connection_ = xcb_connect(server.Name().c_str(), nullptr);
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  window_ = xcb_generate_id(connection_);
  xcb_create_window(connection_, 0, window_, screen->root, -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_flush(connection_);
  reader_ = std::thread([this] { Read(); });
}

XClipboardPeer::~XClipboardPeer() {
  // The reader ends when the connection is shut.
  xcb_destroy_window(connection_, window_);
  xcb_flush(connection_);
  shutdown(xcb_get_file_descriptor(connection_), SHUT_RDWR);
  reader_.join();
  xcb_disconnect(connection_);
}

xcb_atom_t XClipboardPeer::AtomOf(const std::string& name) { return platform::display::InternAtom(connection_, name); }

void XClipboardPeer::Read() {
  while (xcb_generic_event_t* event = xcb_wait_for_event(connection_)) {
    std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_SELECTION_NOTIFY) {
      std::lock_guard guard(lock_);
      answer_ = reinterpret_cast<xcb_selection_notify_event_t*>(event)->property;
      answered_.notify_all();
    } else if (type == XCB_SELECTION_REQUEST) {
      auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
      xcb_selection_notify_event_t notify{};
      notify.response_type = XCB_SELECTION_NOTIFY;
      notify.requestor = request->requestor;
      notify.selection = request->selection;
      notify.target = request->target;
      notify.time = request->time;
      std::lock_guard guard(lock_);
      if (auto found = offered_.find(request->target); found != offered_.end()) {
        bool atoms = request->target == AtomOf("TARGETS");
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request->requestor, request->property,
                            atoms ? xcb_atom_t{XCB_ATOM_ATOM} : request->target, atoms ? 32 : 8,
                            static_cast<std::uint32_t>(found->second.size() / (atoms ? 4 : 1)), found->second.data());
        notify.property = request->property;
      }
      xcb_send_event(connection_, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
      xcb_flush(connection_);
    }
    std::free(event);
  }
}

std::optional<std::string> XClipboardPeer::Ask(const std::string& target) {
  {
    std::lock_guard guard(lock_);
    answer_.reset();
  }
  xcb_atom_t property = AtomOf("PEER_TRANSFER");
  xcb_convert_selection(connection_, window_, AtomOf("CLIPBOARD"), AtomOf(target), property, XCB_CURRENT_TIME);
  xcb_flush(connection_);
  std::unique_lock guard(lock_);
  if (!answered_.wait_for(guard, std::chrono::seconds(5), [&] { return answer_.has_value(); }) || *answer_ == XCB_NONE)
    return std::nullopt;
  guard.unlock();
  auto* reply = xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 1, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20), nullptr);
  if (reply == nullptr) return std::nullopt;
  std::string bytes(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply)));
  std::free(reply);
  return bytes;
}

std::vector<std::string> XClipboardPeer::Names(const std::string& atomList) {
  std::vector<std::string> names;
  for (std::size_t at = 0; at + 4 <= atomList.size(); at += 4) {
    xcb_atom_t atom;
    std::memcpy(&atom, atomList.data() + at, 4);
    auto* reply = xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, atom), nullptr);
    if (reply == nullptr) continue;
    names.emplace_back(xcb_get_atom_name_name(reply), static_cast<std::size_t>(xcb_get_atom_name_name_length(reply)));
    std::free(reply);
  }
  return names;
}

void XClipboardPeer::Offer(const std::map<std::string, std::string>& targets) {
  {
    std::lock_guard guard(lock_);
    offered_.clear();
    std::vector<xcb_atom_t> list;
    for (const auto& [name, bytes] : targets) {
      offered_[AtomOf(name)] = bytes;
      list.push_back(AtomOf(name));
    }
    std::string atoms(list.size() * 4, '\0');
    std::memcpy(atoms.data(), list.data(), atoms.size());
    offered_[AtomOf("TARGETS")] = atoms;
  }
  xcb_set_selection_owner(connection_, window_, AtomOf("CLIPBOARD"), XCB_CURRENT_TIME);
  xcb_flush(connection_);
}

bool XClipboardPeer::Owns() {
  auto* reply =
      xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, AtomOf("CLIPBOARD")), nullptr);
  bool owns = reply != nullptr && reply->owner == window_;
  std::free(reply);
  return owns;
}

}  // namespace pellix_test
