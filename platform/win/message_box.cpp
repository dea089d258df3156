#include "platform/win/message_box.h"

#include <deque>
#include <mutex>

#include "platform/base/errors.h"
#include "platform/kernel/terminal.h"
#include "platform/win/display.h"

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

// The buttons of a box as terminal keys; none for a kind of box not known here.
std::vector<platform::terminal::Choice> Buttons(UINT type) {
  switch (type & kMessageBoxButtonMask) {
    case MB_OKCANCEL: return {{'O', u"OK", IDOK}, {'C', u"Cancel", IDCANCEL}};
    case MB_YESNO: return {{'Y', u"Yes", IDYES}, {'N', u"No", IDNO}};
    default: return {};
  }
}

// The answer of the terminal, or 0 with the last error set.
int AskOnTerminal(const platform::message_box_driver::ShownBox& box) {
  if (!platform::terminal::Available()) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  const int answer = platform::terminal::Choose(box.Caption, box.Text, Buttons(box.Type));
  if (answer == 0) SetLastError(ERROR_OPERATION_ABORTED);
  return answer;
}

}  // namespace

int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type) {
  BoxRecord& record = Record();
  platform::message_box_driver::ShownBox box{owner, text == nullptr ? u"" : text,
                                             caption == nullptr ? u"Error" : caption, type, 0};
  bool queued = false;
  {
    std::lock_guard<std::mutex> guard(record.lock);
    if ((type & kMessageBoxButtonMask) == MB_OK) {
      box.Result = IDOK;
    } else if (!record.answers.empty()) {
      box.Result = record.answers.front();
      record.answers.pop_front();
      queued = true;
    }
  }
  // The terminal is asked without the record's lock: an answer may take the user a while.
  if (box.Result == IDOK && !queued) {
    platform::terminal::Show(box.Caption, box.Text);
  } else if (!queued) {
    box.Result = AskOnTerminal(box);
  }
  const DWORD error = GetLastError();
  {
    std::lock_guard<std::mutex> guard(record.lock);
    record.shown.push_back(box);
  }
  SetLastError(error);
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

BOOL MessageBeep(UINT) {
  if (platform::win::detail::RingDisplayBell()) return TRUE;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}
