// The pass over a completed page: it walks the page's forms once, decides for each
// whether it is ignored, whether a stored form applies and whether it may be filled
// now, marks the forms, prepares (and when allowed writes) their values, generates a
// password for a form with a password and its repetition, and tells the main window to
// fill the page after a login (command 19) or to show the auto-fill notice (command 18).
//
// Each pass runs on a thread of its own that ends by itself. It reaches its watcher
// only by id, and its browser only through a reference it finds itself. The data is
// locked only while the lists are read into a snapshot; every call into the page is
// made outside the lock. The passes' threads are kept in one table, so that the
// program's end can stop them (each ends at its next step) and wait for them before
// the lists go; the table joins any thread left when the program ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/form_items.h"
#include "platform/base/object_registry.h"

namespace formfill {

// The settings the pass reads, set by the main window whenever it loads the settings.
struct TPageFillSettings {
  bool AutoFill = false;
  int PwdLen = 8;
  bool PwdUpper = true;
  bool PwdLower = true;
  bool PwdNum = true;
  bool PwdSymb = false;
  bool PwdAvoid = false;
  bool DebugFill = false;
};

void SetPageFillSettings(const TPageFillSettings& settings);
TPageFillSettings PageFillSettings();

// Form and body marks of the pass.
inline constexpr char16_t kFormIdMark[] = u"Pellix_FormID";
inline constexpr char16_t kPwdCountMark[] = u"Pellix_PwdCount";
inline constexpr char16_t kFormVaultMark[] = u"Pellix_FormVault";
inline constexpr char16_t kFormDoneMark[] = u"Pellix_FormDone";
inline constexpr char16_t kFormsCountMark[] = u"Pellix_FormsCount";

class TAfterNavigateThr {
 public:
  // Starts a pass for the browser whose "Pellix_Win_ID" is WinId (the watcher's when
  // empty), with the stored form requested for the page (may be null) and its action
  // (0 none, 1 fill, 2 fill and submit, 3 open only). FillOption is the HTML-text
  // filler's Overwrite. Answers the pass's number; 0 (no pass) while the passes are
  // being ended.
  static std::uint64_t Start(platform::ObjectId ieWin, std::u16string winId, std::shared_ptr<TFormItem> item,
                             std::uint8_t action, bool fillOption);
  // Waits until no pass runs (tests).
  static void WaitForAll();
  // The program's end: refuses new passes, tells the running ones to end at their next
  // step and waits for them at most Timeout ms. True when none runs any more (passes
  // may then start again); false leaves new passes refused.
  static bool EndAll(unsigned timeoutMs);

 private:
  TAfterNavigateThr(platform::ObjectId ieWin, std::u16string winId, std::shared_ptr<TFormItem> item,
                    std::uint8_t action, bool fillOption);
  void Execute();
  // Lets the watcher forget this pass and ends the thread's COM use.
  void EndPass();

  std::uint64_t pass_ = 0;  // set by the thread before the pass runs
  const platform::ObjectId ie_win_;
  std::u16string win_id_;
  const std::shared_ptr<TFormItem> item_;
  const std::uint8_t action_;
  const bool fill_option_;
};

}  // namespace formfill
