#include "app/security_gate.h"

#include "data/data_startup.h"
#include "data/password_key.h"
#include "formfill/toolbar_menu.h"
#include "platform/base/clock.h"
#include "platform/win/message_box.h"
#include "support/translator.h"

namespace {

constexpr double kSecondsPerDay = 24.0 * 60 * 60;
constexpr double kGrace = 15 / kSecondsPerDay;
constexpr double kFallbackExpiry = 30 * 60 / kSecondsPerDay;
constexpr std::int32_t kMinutesPerDay = 24 * 60;

// When an unlock at UnlockTime runs out; 0 for never.
double ExpiryOf(double unlockTime, std::int32_t minutes) {
  if (minutes <= 0) return 0;
  // A time of day of 24 hours or more cannot be encoded: half an hour instead.
  if (minutes >= kMinutesPerDay) return unlockTime + kFallbackExpiry;
  return unlockTime + minutes * 60 / kSecondsPerDay;
}

void ShowCorruptedRecord() {
  const std::u16string text = Translate("Pellix registry are corrupted.") + u" " +
                              Translate("Application cannot be started.") + u" " +
                              Translate("Please contact our support!") + u"    ";
  MessageBoxW(0, text.c_str(), Translate("Pellix - Fatal Error").c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

bool TSecurityGate::CheckUnlock(HWND owner, bool allowConstant, bool ask) {
  const std::int32_t level = SecurityLevel;
  const double unlockTime = UnlockTime;
  const double now = platform::Now();
  if (level == kSecurityCorrupted) {
    if (ask) ShowCorruptedRecord();
    return false;
  }
  if (level == kSecurityNone) return true;
  if (unlockTime != 0) {
    if (level == kSecurityOnce) return true;
    if (level == kSecurityExpiring && SecurityExpires == 0) return true;
    if (unlockTime + kGrace > now) return true;
  }
  const double expires = ExpiryOf(unlockTime, SecurityExpires);
  const bool askNow = unlockTime == 0 || (expires != 0 && now > expires) ||
                      (level == kSecurityAlways && !allowConstant);
  if (!askNow) return true;
  if (!ask) return false;
  return AskAndVerify(owner);
}

bool TSecurityGate::AskAndVerify(HWND owner) {
  std::u16string password;
  if (!launcher_.AskVaultPassword(owner, true, u"", password)) return false;
  // An empty record never matches: no password opens a vault without a master password.
  if (MasterPasswordMatches(password, MasterCrypt)) {
    UnlockTime = platform::Now();
    StartToolbarMenuRefresh();
    return true;
  }
  MessageBoxW(owner, Translate("The entered password does not match your Pellix master password!").c_str(),
              Translate("Pellix - Incorrect Password").c_str(), MB_OK | MB_ICONERROR);
  return false;
}

bool IsUnlockedNow() { return SecurityLevel == kSecurityNone || UnlockTime != 0; }
