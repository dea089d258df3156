#include "platform/display/x11_clipboard.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/base/text.h"
#include "platform/display/x11_atom.h"
#include "platform/win/atoms.h"

namespace {

// How long another program may take to hand its data over.
constexpr auto kConversionWait = std::chrono::seconds(2);

std::string Latin1(std::u16string_view text) {
  std::string result;
  for (char16_t c : text) result += c < 0x100 ? static_cast<char>(c) : '?';
  return result;
}

// Text bytes end at their terminating zero.
template <typename Char>
std::basic_string<Char> TextOf(const std::string& bytes) {
  std::basic_string<Char> text(bytes.size() / sizeof(Char), Char{});
  std::memcpy(text.data(), bytes.data(), text.size() * sizeof(Char));
  return text.substr(0, text.find(Char{}));
}

}  // namespace

namespace platform::display {

X11Clipboard::X11Clipboard(xcb_connection_t* connection, xcb_screen_t* screen) : connection_(connection) {
  window_ = xcb_generate_id(connection_);
  const std::uint32_t events[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
  xcb_create_window(connection_, 0, window_, screen->root, -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, events);
  clipboard_ = Intern("CLIPBOARD");
  targets_ = Intern("TARGETS");
  utf8_ = Intern("UTF8_STRING");
  text_ = Intern("TEXT");
  incr_ = Intern("INCR");
  transfer_ = Intern("_PELLIX_CLIPBOARD");
}

X11Clipboard::~X11Clipboard() { xcb_destroy_window(connection_, window_); }

xcb_atom_t X11Clipboard::Intern(const std::string& name) { return InternAtom(connection_, name); }

std::string X11Clipboard::AtomName(xcb_atom_t atom) {
  auto* reply = xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, atom), nullptr);
  if (reply == nullptr) return {};
  std::string name(xcb_get_atom_name_name(reply), static_cast<std::size_t>(xcb_get_atom_name_name_length(reply)));
  std::free(reply);
  return name;
}

bool X11Clipboard::HeldElsewhere() {
  auto* reply =
      xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr);
  bool elsewhere = reply != nullptr && reply->owner != XCB_NONE && reply->owner != window_;
  std::free(reply);
  return elsewhere;
}

void X11Clipboard::Take() {
  xcb_set_selection_owner(connection_, window_, clipboard_, XCB_CURRENT_TIME);
  xcb_flush(connection_);
}

xcb_atom_t X11Clipboard::TargetOf(UINT format) {
  if (format == CF_TEXT || format == CF_UNICODETEXT) return utf8_;
  char name[256];
  int length = GetClipboardFormatNameA(format, name, sizeof name);
  return length > 0 ? Intern(std::string(name, static_cast<std::size_t>(length))) : 0;
}

std::optional<std::string> X11Clipboard::Convert(xcb_atom_t target) {
  std::lock_guard one(fetchLock_);
  {
    std::lock_guard guard(lock_);
    answer_.reset();
    asked_ = target;
  }
  xcb_convert_selection(connection_, window_, clipboard_, target, transfer_, XCB_CURRENT_TIME);
  xcb_flush(connection_);
  xcb_atom_t property;
  {
    std::unique_lock guard(lock_);
    if (!arrived_.wait_for(guard, kConversionWait, [&] { return answer_.has_value(); })) return std::nullopt;
    property = *answer_;
  }
  if (property == XCB_NONE) return std::nullopt;
  auto* reply = xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 1, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, ~0u / 4), nullptr);
  if (reply == nullptr) return std::nullopt;
  std::optional<std::string> data;
  if (reply->type != incr_) {
    data.emplace(static_cast<const char*>(xcb_get_property_value(reply)),
                 static_cast<std::size_t>(xcb_get_property_value_length(reply)));
  }
  std::free(reply);
  return data;
}

bool X11Clipboard::Offers(UINT format) {
  xcb_atom_t target = TargetOf(format);
  auto list = target != 0 ? Convert(targets_) : std::nullopt;
  if (!list) return false;
  std::vector<xcb_atom_t> atoms(list->size() / sizeof(xcb_atom_t));
  std::memcpy(atoms.data(), list->data(), atoms.size() * sizeof(xcb_atom_t));
  for (xcb_atom_t atom : atoms) {
    if (atom == target || (target == utf8_ && (atom == XCB_ATOM_STRING || atom == text_))) return true;
  }
  return false;
}

HGLOBAL X11Clipboard::Fetch(UINT format) {
  xcb_atom_t target = TargetOf(format);
  if (target == 0) return nullptr;
  std::optional<std::string> data = Convert(target);
  if (format != CF_TEXT && format != CF_UNICODETEXT) {
    if (!data) return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, data->size());
    if (memory != nullptr) {
      std::memcpy(GlobalLock(memory), data->data(), data->size());
      GlobalUnlock(memory);
    }
    return memory;
  }
  std::u16string text;
  if (data) {
    text = platform::Utf8ToWide(*data);
  } else if (auto latin = Convert(XCB_ATOM_STRING)) {
    for (char c : *latin) text += static_cast<char16_t>(static_cast<unsigned char>(c));
  } else {
    return nullptr;
  }
  return format == CF_UNICODETEXT ? platform::win::NewTextBlock(text)
                                  : platform::win::NewTextBlock(platform::WideToAnsi(text));
}

std::optional<std::pair<xcb_atom_t, std::string>> X11Clipboard::Answer(xcb_atom_t target) {
  auto contents = platform::win::ClipboardContents();
  auto text = contents.find(CF_UNICODETEXT);
  if (target == targets_) {
    std::vector<xcb_atom_t> atoms{targets_};
    if (text != contents.end()) atoms.insert(atoms.end(), {utf8_, text_, XCB_ATOM_STRING});
    for (const auto& [format, bytes] : contents) {
      if (format != CF_TEXT && format != CF_UNICODETEXT) {
        if (xcb_atom_t atom = TargetOf(format)) atoms.push_back(atom);
      }
    }
    std::string list(atoms.size() * sizeof(xcb_atom_t), '\0');
    std::memcpy(list.data(), atoms.data(), list.size());
    return std::pair{XCB_ATOM_ATOM, list};
  }
  if (text != contents.end() && (target == utf8_ || target == text_)) {
    return std::pair{utf8_, platform::WideToUtf8(TextOf<char16_t>(text->second))};
  }
  if (text != contents.end() && target == XCB_ATOM_STRING) {
    return std::pair{XCB_ATOM_STRING, Latin1(TextOf<char16_t>(text->second))};
  }
  std::string name = AtomName(target);
  UINT format = name.empty() ? 0 : RegisterClipboardFormatA(name.c_str());
  if (auto found = contents.find(format); format != 0 && found != contents.end()) return std::pair{target, found->second};
  return std::nullopt;
}

void X11Clipboard::Serve(const xcb_selection_request_event_t& request) {
  xcb_selection_notify_event_t notify{};
  notify.response_type = XCB_SELECTION_NOTIFY;
  notify.time = request.time;
  notify.requestor = request.requestor;
  notify.selection = request.selection;
  notify.target = request.target;
  notify.property = XCB_NONE;
  // Old clients name no property: the target's name is used then.
  xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
  auto answer = request.selection == clipboard_ ? Answer(request.target) : std::nullopt;
  std::size_t most = static_cast<std::size_t>(xcb_get_maximum_request_length(connection_)) * 4 - 64;
  if (answer && answer->second.size() <= most) {
    int unit = answer->first == XCB_ATOM_ATOM ? 32 : 8;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property, answer->first,
                        static_cast<std::uint8_t>(unit), static_cast<std::uint32_t>(answer->second.size() * 8 / unit),
                        answer->second.data());
    notify.property = property;
  }
  xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
  xcb_flush(connection_);
}

bool X11Clipboard::Handle(const xcb_generic_event_t* event) {
  switch (event->response_type & 0x7F) {
    case XCB_SELECTION_REQUEST: {
      auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
      if (request->owner != window_) return false;
      Serve(*request);
      return true;
    }
    case XCB_SELECTION_NOTIFY: {
      auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
      if (notify->requestor != window_) return false;
      {
        // A late answer to a conversion given up on is not this one's.
        std::lock_guard guard(lock_);
        if (notify->target == asked_) answer_ = notify->property;
      }
      arrived_.notify_all();
      return true;
    }
    case XCB_SELECTION_CLEAR:
      return reinterpret_cast<const xcb_selection_clear_event_t*>(event)->owner == window_;
    default: return false;
  }
}

}  // namespace platform::display
