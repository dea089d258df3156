#include "platform/win/message_box.h"

#include <deque>
#include <mutex>

#include "platform/base/errors.h"

namespace {

struct BoxRecord {
  std::mutex lock;
  std::deque<int> answers;
  std::vector<platform::message_box_driver::ShownBox> shown;
};

BoxRecord& Record() {
  static BoxRecord record;
  return record;
}

}  // namespace

int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type) {
  BoxRecord& record = Record();
  std::lock_guard<std::mutex> guard(record.lock);
  platform::message_box_driver::ShownBox box{owner, text == nullptr ? u"" : text,
                                             caption == nullptr ? u"Error" : caption, type, 0};
  if ((type & kMessageBoxButtonMask) == MB_OK) {
    box.Result = IDOK;
  } else if (!record.answers.empty()) {
    box.Result = record.answers.front();
    record.answers.pop_front();
  } else {
    SetLastError(ERROR_NOT_SUPPORTED);
  }
  record.shown.push_back(box);
  return box.Result;
}

namespace platform::message_box_driver {

void Answer(int buttonId) {
  std::lock_guard<std::mutex> guard(Record().lock);
  Record().answers.push_back(buttonId);
}

std::vector<ShownBox> Shown() {
  std::lock_guard<std::mutex> guard(Record().lock);
  return Record().shown;
}

void Clear() {
  std::lock_guard<std::mutex> guard(Record().lock);
  Record().answers.clear();
  Record().shown.clear();
}

}  // namespace platform::message_box_driver
