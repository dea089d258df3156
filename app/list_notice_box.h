// Tells the user of a list that could not be read with a message box.
#pragma once

#include "data/list_notice.h"

class TListNoticeBox : public TListNotice {
 public:
  void ShowListNotice(const std::u16string& text) override;
};
