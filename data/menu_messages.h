// The objects that carry a request from where it arises (a browser window's form
// event, the plug-in object, the menus, the list windows) to where it is carried out
// (the main window or the browser watcher thread), and the holders of the menus'
// click handlers.
//
// An object travels as the id the object registry gives it, never as a pointer: the
// sender hands it over with HandOverMessageObject or PostObjectToMainWindow (the id
// goes into lParam), the receiver
// takes it back with ReceiveMessageObject, which answers nothing for an id that is
// unknown, already taken or of another type. Ownership passes with the id; an object
// that was never taken is dropped by ForgetObject.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "controls/unicode/uni_classes.h"
#include "data/form_items.h"
#include "platform/base/object_registry.h"
#include "platform/base/types.h"
#include "platform/classlib/object.h"

// A submitted form (main-window command 4).
class TMessageItem : public TObject {
 public:
  TMessageItem() = default;
  TMessageItem(const TMessageItem&) = delete;
  TMessageItem& operator=(const TMessageItem&) = delete;

  std::u16string Caption;
  std::u16string URL;
  std::u16string FormName;
  std::u16string FormID;
  TFormFieldList Fields;
  TUniStringList Passwords;
  // The per-window watcher that saw the submission, by its object id; 0 for none.
  platform::ObjectId Sender = 0;
};

// A menu or toolbar command (main-window command 9). Every field starts cleared.
class TObjMenuMessage : public TObject {
 public:
  // Menu command number 1 to 48 (48 is Exit); 0 means none.
  std::uint8_t Command = 0;
  // The number after the command name's "_"; for the commands that open a stored
  // form, the object id of the form item.
  std::int32_t Param = 0;
  std::int32_t Param2 = 0;
  std::u16string ClientID;
  HWND BrowserWindow = 0;
  std::u16string Text1;
  // For the identity commands 34 to 36: the identity's file number.
  std::u16string Text2;
};

// Actions of a navigation request.
inline constexpr std::uint8_t kNavigateFill = 1;
inline constexpr std::uint8_t kNavigateFillSubmit = 2;
inline constexpr std::uint8_t kNavigateOpenOnly = 3;

// A request to open or fill a stored form (queued to the watcher thread, or posted to
// the main window with command 19 carrying only IEWin). Every field starts cleared.
class TNavigateItem : public TObject {
 public:
  // The per-window watcher of the browser to use, by its object id; 0 when ClientID
  // decides.
  platform::ObjectId IEWin = 0;
  std::u16string ClientID;
  // A detached copy of the stored form with its fields decoded, so that the list may
  // change while the request waits.
  std::shared_ptr<TFormItem> Item;
  std::uint8_t Action = 0;
};

// The click handlers of the main menu: slot k raises command k + 1 for k 0 to 29,
// slots 30 to 36 raise 37, 38, 39, 44, 46, 47 and 48. All empty after construction.
class TMenuEvents : public TObject {
 public:
  static constexpr int kCount = 37;
  std::array<TNotifyEvent, kCount> Handlers;
};

// The handlers of a password field's context menu: 0 generate, 1 fill, 2 show,
// 3 edit or open the generator, 4 paste, 5 password history.
class TContextMenuEvents : public TObject {
 public:
  static constexpr int kCount = 6;
  std::array<TNotifyEvent, kCount> Handlers;
};

// The id an lParam carries; 0 when it cannot be an object id.
platform::ObjectId MessageObjectId(LPARAM argument);

// Posts "PellixMessage" with Command to the main window, carrying an id already handed
// over; when the post fails the id is dropped and its object freed. True when posted.
bool PostIdToMainWindow(WPARAM command, platform::ObjectId id);

// Hands the object over to the registry and answers the lParam that carries it.
template <typename T>
LPARAM HandOverMessageObject(std::unique_ptr<T> object) {
  return static_cast<LPARAM>(platform::HandOverObject(std::shared_ptr<T>(std::move(object))));
}

// Posts the object to the main window; it is freed here when the post fails.
template <typename T>
bool PostObjectToMainWindow(WPARAM command, std::unique_ptr<T> object) {
  return PostIdToMainWindow(command, platform::HandOverObject(std::shared_ptr<T>(std::move(object))));
}

// Takes the object an lParam carries; null when the id names no live object of T.
template <typename T>
std::shared_ptr<T> ReceiveMessageObject(LPARAM argument) {
  platform::ObjectId id = MessageObjectId(argument);
  return id == 0 ? nullptr : platform::TakeObject<T>(id);
}
