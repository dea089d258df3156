// The program's clipboard on X11: the CLIPBOARD selection. When the program puts
// something on its clipboard it becomes the selection's owner and hands other
// programs its text (as UTF8_STRING, TEXT, and Latin-1 STRING) and the formats it
// registered by name (each as the atom of that name), listing them under TARGETS.
// While another program owns the selection, the program's clipboard reads that
// program's text and registered formats through it. Transfers go in one piece: data
// larger than one X request is not handed out, and data another program hands out in
// increments (INCR) is not read.
#pragma once

#include <xcb/xcb.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

#include "platform/win/clipboard.h"

namespace platform::display {

class X11Clipboard final : public platform::win::DesktopClipboard {
 public:
  X11Clipboard(xcb_connection_t* connection, xcb_screen_t* screen);
  ~X11Clipboard() override;
  X11Clipboard(const X11Clipboard&) = delete;
  X11Clipboard& operator=(const X11Clipboard&) = delete;

  bool HeldElsewhere() override;
  bool Offers(UINT format) override;
  HGLOBAL Fetch(UINT format) override;
  void Take() override;
  // Handles a selection event (on the event thread); false for other events.
  bool Handle(const xcb_generic_event_t* event);

 private:
  xcb_atom_t Intern(const std::string& name);
  std::string AtomName(xcb_atom_t atom);
  // The atom another program is asked for a format; 0 for formats not carried.
  xcb_atom_t TargetOf(UINT format);
  // The owner's data converted to a target; nothing when it has none in one piece.
  std::optional<std::string> Convert(xcb_atom_t target);
  void Serve(const xcb_selection_request_event_t& request);
  // The bytes answering a target, and their type; nothing when not offered.
  std::optional<std::pair<xcb_atom_t, std::string>> Answer(xcb_atom_t target);

  xcb_connection_t* connection_;
  xcb_window_t window_;
  xcb_atom_t clipboard_, targets_, utf8_, text_, incr_, transfer_;
  std::mutex fetchLock_;  // one conversion at a time
  std::mutex lock_;
  std::condition_variable arrived_;
  xcb_atom_t asked_ = 0;               // the target being converted
  std::optional<xcb_atom_t> answer_;  // the property of the last SelectionNotify (0: refused)
};

}  // namespace platform::display
