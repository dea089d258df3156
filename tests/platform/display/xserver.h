// A private X server for the display tests: Xvfb on a free display, and a user of
// it on a connection of its own who clicks and types through XTest and acts as a
// window manager would (moves, sizes, focus, the close button).
#pragma once

#include <sys/types.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/types.h"

namespace pellix_test {

// Xvfb at 1280x1024 (the headless screen's size) in 24-bit colour.
class XServer {
 public:
  XServer();
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  static bool Installed();
  bool Running() const { return !name_.empty(); }
  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// Starts a program on the server's display; ended on destruction.
class XClient {
 public:
  XClient(const XServer& server, const std::string& program, const std::string& arguments = {});
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

 private:
  pid_t pid_ = -1;
};

class XUser {
 public:
  explicit XUser(const XServer& server);
  ~XUser();
  XUser(const XUser&) = delete;
  XUser& operator=(const XUser&) = delete;

  void MoveTo(int x, int y);
  void Click(int x, int y, int button);  // 1 left, 3 right
  // Presses and releases the key that types `keysym`; a symbol no key has is first
  // given to a spare key, as a user's layout would have it.
  void Type(std::uint32_t keysym, bool shift = false);
  // Gives every symbol a key before anything is typed, as a user's layout has them all.
  void PrepareKeys(const std::vector<std::uint32_t>& keysyms);
  void Configure(xcb_window_t window, int x, int y, int width, int height);
  void Focus(xcb_window_t window);
  void AskToClose(xcb_window_t window);
  // A text property of a window (UTF-8 or Latin-1 as stored); empty when unset.
  std::string TextProperty(xcb_window_t window, const std::string& name);
  std::vector<std::uint32_t> Property32(xcb_window_t window, const std::string& name);
  bool OverrideRedirect(xcb_window_t window);
  bool Viewable(xcb_window_t window);
  xcb_window_t Root() const { return root_; }
  xcb_window_t ParentOf(xcb_window_t window);
  xcb_window_t SelectionOwner(const std::string& selection);
  // The screen point in the middle of a window, and the colour there (0xRRGGBB).
  POINT CentreOf(xcb_window_t window);
  std::uint32_t PixelAt(POINT point);
  bool Exists(xcb_window_t window);
  xcb_connection_t* Connection() const { return connection_; }

 private:
  std::uint8_t KeycodeOf(std::uint32_t keysym);
  xcb_atom_t AtomOf(const std::string& name);
  void Key(std::uint8_t keycode, bool press);

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
};

// Another program on the display using the clipboard (the CLIPBOARD selection), on a
// connection of its own whose events a thread of its own reads.
class XClipboardPeer {
 public:
  explicit XClipboardPeer(const XServer& server);
  ~XClipboardPeer();
  XClipboardPeer(const XClipboardPeer&) = delete;
  XClipboardPeer& operator=(const XClipboardPeer&) = delete;

  // What the owner hands over for a target (the property's bytes); nothing when it
  // refuses or does not answer within five seconds.
  std::optional<std::string> Ask(const std::string& target);
  // Owns the clipboard, handing out each target's bytes (of the type the target names;
  // TARGETS lists them) until another program takes it.
  void Offer(const std::map<std::string, std::string>& targets);
  // The atoms a TARGETS answer lists, by name.
  std::vector<std::string> Names(const std::string& atomList);
  bool Owns();

 private:
  xcb_atom_t AtomOf(const std::string& name);
  void Read();

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t window_ = 0;
  std::thread reader_;
  std::mutex lock_;
  std::condition_variable answered_;
  std::optional<xcb_atom_t> answer_;
  std::map<xcb_atom_t, std::string> offered_;
};

// Runs the calling thread's messages until `done` holds or five seconds pass.
bool Eventually(const std::function<bool()>& done);

}  // namespace pellix_test
