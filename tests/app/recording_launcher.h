// A launcher for tests: it notes every window asked for and answers as told, so the
// callers' paths can be followed without windows.
#pragma once

#include <string>
#include <vector>

#include "app/dialog_launcher.h"

class TRecordingLauncher : public TDialogLauncher {
 public:
  bool ShowAfterInstallWizard(HWND) override { return Note("first-run wizard"); }
  bool ShowPasswordWindow(HWND, std::shared_ptr<formfill::TInputPasswordContext>, const std::u16string& p) override {
    Passwords.push_back(p);
    return Note("password display");
  }
  bool ShowPasswordGeneratorWindow(HWND, std::shared_ptr<formfill::TInputPasswordContext>,
                                   const std::u16string&) override {
    return Note("password generator");
  }
  bool ShowPasswordHistoryWindow(HWND) override { return Note("password history"); }
  bool ShowIdentityEditor(HWND, const std::u16string& name, bool isNew) override {
    return Note(std::string(isNew ? "new identity " : "identity editor ") + std::string(name.begin(), name.end()));
  }
  // Answers with the queued password, or "cancelled" when none is queued.
  bool AskVaultPassword(HWND, bool, const std::u16string&, std::u16string& password) override {
    Note("vault password");
    if (Typed.empty()) return false;
    password = Typed.front();
    Typed.erase(Typed.begin());
    return true;
  }
  bool ShowBookmarkBrowser(HWND) override { return Note("bookmark browser"); }
  bool ShowHistoryBrowser(HWND) override { return Note("history browser"); }
  bool ShowIgnoreList(HWND) override { return Note("ignore list"); }
  bool ShowCloseDialog() override {
    Note("close dialog");
    return CloseAgrees;
  }
  bool ShowBookmarkDialog(HWND, const TMessageItem&, TBookmarkOffer, bool unlocked, const std::vector<std::u16string>& candidates,
                          TBookmarkChoice& choice) override {
    Note(unlocked ? "bookmark form unlocked" : "bookmark form");
    Candidates = candidates;
    if (BeforeBookmarkAnswer) BeforeBookmarkAnswer();
    choice = Bookmark;
    return SaveBookmark;
  }
  bool ShowRecordEditor(HWND, TFormItem&) override { return Note("record editor"); }
  bool ShowSettings(HWND, int page) override { return Note("settings " + std::to_string(page)); }
  bool ShowSecurityLevelDialog(HWND, std::int32_t& level, std::int32_t& expires) override {
    Note("security level");
    level = NewLevel;
    expires = NewExpires;
    return true;
  }
  bool ShowMasterPasswordDialog(HWND) override { return Note("master password"); }
  int AskIdentityChange(HWND) override {
    Note("identity change");
    return IdentityAnswer;
  }
  bool ShowHelpWindow(long topic) override { return Note("help " + std::to_string(topic)); }

  bool Note(const std::string& window) {
    Opened.push_back(window);
    return true;
  }

  std::vector<std::string> Opened;
  std::vector<std::u16string> Typed;
  std::vector<std::u16string> Passwords;
  std::vector<std::u16string> Candidates;
  bool CloseAgrees = false;
  bool SaveBookmark = false;
  TBookmarkChoice Bookmark;
  std::function<void()> BeforeBookmarkAnswer;
  int IdentityAnswer = 0;
  std::int32_t NewLevel = 0;
  std::int32_t NewExpires = 0;
};
