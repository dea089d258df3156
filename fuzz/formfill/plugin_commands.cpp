// The texts the host toolbar hands the plug-in object: button and settings-page
// command names, menu command texts with their item references, and information keys
// with their arguments. Whatever the text, a posted command is a menu command, an item
// reference that is posted names an item of the lists, and no message object is left
// behind.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string_view>

#include "data/app_services.h"
#include "data/data_startup.h"
#include "data/form_items.h"
#include "data/menu_messages.h"
#include "formfill/app_menus.h"
#include "formfill/pellix_obj.h"
#include "platform/base/object_registry.h"
#include "platform/base/text.h"
#include "platform/com/bstr.h"

namespace {

using platform::com::BString;

// The main window: takes each posted message at once and checks it.
class CheckingServices : public TAppServices {
 public:
  bool PostToMainWindow(WPARAM command, LPARAM argument) override {
    if (command == kCmdReloadSettings) return argument == 0 ? true : (std::abort(), false);
    if (command != kCmdMenuCommand) std::abort();
    std::shared_ptr<TObjMenuMessage> message = ReceiveMessageObject<TObjMenuMessage>(argument);
    if (!message || message->Command == 0 || message->Command > kCommandExit) std::abort();
    bool listed;
    {
      std::scoped_lock hold(DataLock);
      listed = !CommandTakesItem(message->Command) || FindMenuItem(message->Param) != nullptr;
    }
    if (!listed) std::abort();
    return true;
  }
  LRESULT SendToMainWindow(WPARAM, LPARAM) override { return 0; }
  bool CheckUnlock(HWND, int, bool) override { return true; }
  bool IsUnlocked() override { return true; }
  bool PostScanRequest() override { return true; }
  bool InstallerWindowExists() override { return false; }
};

TPellixObj& Plugin() {
  static TPellixObj* plugin = [] {
    static CheckingServices services;
    InstallAppServices(&services);
    HasIdentities = true;
    BookmarkList = std::make_unique<TBookmarkItems>();
    for (const char16_t* caption : {u"Shop", u"Mail"}) {
      TDataItem* item = BookmarkList->Add(std::make_unique<TBookmarkItem>(BookmarkList.get()));
      item->SetCaption(caption);
      MenuItemId(item);
    }
    auto* made = new TPellixObj();
    made->AddRef();
    return made;
  }();
  return *plugin;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TPellixObj& plugin = Plugin();
  if (size == 0) return 0;
  const std::u16string text = platform::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  const std::size_t before = platform::RegisteredObjectCount();
  switch (data[0] % 3) {
    case 0: {
      BString command(text);
      plugin.OnCommand(command.get());
      break;
    }
    case 1: {
      BString command(text);
      plugin.OnMenuCommand(0, command.get());
      break;
    }
    default: {
      const std::size_t split = text.find(u'\n');
      BString key(text.substr(0, split));
      BString argument(split == std::u16string::npos ? std::u16string() : text.substr(split + 1));
      BString answer;
      plugin.GetPluginInfo(key.get(), argument.get(), answer.Put());
      break;
    }
  }
  if (platform::RegisteredObjectCount() != before) std::abort();
  return 0;
}
