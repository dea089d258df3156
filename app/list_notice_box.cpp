#include "app/list_notice_box.h"

#include "platform/win/message_box.h"
#include "support/translator.h"

void TListNoticeBox::ShowListNotice(const std::u16string& text) {
  MessageBoxW(0, text.c_str(), Translate("Pellix - Warning").c_str(), MB_OK | MB_ICONWARNING);
}
