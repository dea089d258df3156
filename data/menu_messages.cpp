#include "data/menu_messages.h"

#include "data/app_services.h"

platform::ObjectId MessageObjectId(LPARAM argument) {
  if (argument <= 0 || argument > static_cast<LPARAM>(UINT32_MAX)) return 0;
  return static_cast<platform::ObjectId>(argument);
}

bool PostIdToMainWindow(WPARAM command, platform::ObjectId id) {
  if (PostToMainWindow(command, static_cast<LPARAM>(id))) return true;
  platform::ForgetObject(id);
  return false;
}
