#include "app/security_gate.h"

#include <gtest/gtest.h>

#include "app/recording_launcher.h"
#include "data/data_startup.h"
#include "platform/base/clock.h"
#include "platform/win/message_box.h"

namespace {

namespace boxes = platform::message_box_driver;

constexpr double kDay = 24.0 * 60 * 60 * 1000;  // milliseconds
constexpr double kTen = 45000.0 + 10.0 / 24;     // a day at 10:00:00
constexpr char16_t kMaster[] = u"correct horse";

class SecurityGateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ApplySecurityRecord(MakeSecurityRecord(kMaster, kSecurityExpiring, 60)));
    DefaultCrypt = std::make_unique<TWideCrypt>(true);
    boxes::Clear();
  }
  void TearDown() override {
    platform::test_clock::Release();
    DefaultCrypt.reset();
    UnlockTime = 0;
    SecurityLevel = kSecurityExpiring;
    SecurityExpires = 60;
    boxes::Clear();
  }
};

// Each case: the level and expiry, when the last unlock was (seconds before the call,
// -1 for never), the arguments, what the prompt types (empty: cancelled), and what
// the gate answers and asks.
TEST_F(SecurityGateTest, TheLevelTheUnlockTimeAndTheArgumentsDecide) {
  struct Case {
    const char* name;
    std::int32_t level;
    std::int32_t minutes;
    double secondsSinceUnlock;
    bool allowConstant;
    bool ask;
    std::u16string typed;
    bool passes;
    bool prompted;
    bool errorBox;
  };
  const Case cases[] = {
      {"level 0 never asks", kSecurityNone, 60, -1, false, true, u"", true, false, false},
      {"level 1 asks before the first unlock", kSecurityOnce, 60, -1, false, true, kMaster, true, true, false},
      {"level 1 after an unlock, days later", kSecurityOnce, 60, 5 * 86400, false, true, u"", true, false, false},
      {"level 2, 0 minutes, after an unlock", kSecurityExpiring, 0, 5 * 86400, false, true, u"", true, false, false},
      {"level 2 one second before the expiry", kSecurityExpiring, 60, 3599, false, true, u"", true, false, false},
      {"level 2 one second after the expiry", kSecurityExpiring, 60, 3601, false, true, u"", false, true, false},
      {"level 2, 1440 minutes: half an hour", kSecurityExpiring, 1440, 31 * 60, false, true, u"", false, true, false},
      {"level 2, 1440 minutes, within it", kSecurityExpiring, 1440, 29 * 60, false, true, u"", true, false, false},
      {"level 3 within the grace", kSecurityAlways, 60, 10, false, true, u"", true, false, false},
      {"level 3 after the grace", kSecurityAlways, 60, 16, false, true, u"", false, true, false},
      {"level 3 allowing a constant unlock", kSecurityAlways, 60, 16, true, true, u"", true, false, false},
      {"may not ask: false without a window", kSecurityAlways, 60, 16, false, false, u"", false, false, false},
      {"wrong password", kSecurityExpiring, 60, -1, false, true, u"wrong", false, true, true},
      {"right password", kSecurityExpiring, 60, -1, false, true, kMaster, true, true, false},
      {"level 99 blocks and says so", kSecurityCorrupted, 60, 10, true, true, kMaster, false, false, true},
      {"level 99, may not ask: silent", kSecurityCorrupted, 60, 10, true, false, kMaster, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes::Clear();
    platform::test_clock::Freeze(1000, kTen);
    SecurityLevel = c.level;
    SecurityExpires = c.minutes;
    const double unlock = c.secondsSinceUnlock < 0 ? 0 : kTen - c.secondsSinceUnlock * 1000 / kDay;
    UnlockTime = unlock;
    TRecordingLauncher launcher;
    if (!c.typed.empty()) launcher.Typed.push_back(c.typed);
    const std::string before = DefaultCrypt->EncryptString(u"probe");
    TSecurityGate gate(launcher);
    EXPECT_EQ(gate.CheckUnlock(0, c.allowConstant, c.ask), c.passes);
    EXPECT_EQ(!launcher.Opened.empty(), c.prompted);
    EXPECT_EQ(!boxes::Shown().empty(), c.errorBox);
    // Only a given password moves the unlock time, to now.
    const bool unlocked = c.prompted && c.passes;
    EXPECT_DOUBLE_EQ(UnlockTime, unlocked ? kTen : unlock);
    EXPECT_EQ(DefaultCrypt->EncryptString(u"probe"), before) << "the program's cipher keeps its key";
  }
}

// The gate checks a password by deciphering the stored check: the program-wide cipher
// object keeps its own key whatever the answer.
TEST_F(SecurityGateTest, APasswordIsCheckedWithoutTouchingTheProgramCipher) {
  const std::string probe = DefaultCrypt->EncryptString(u"probe");
  ASSERT_FALSE(probe.empty());
  struct Case {
    std::u16string password;
    bool unlocked;
  };
  const Case cases[] = {{u"Wrong", false}, {u"", false}, {u"Right pw", true}};
  for (const Case& c : cases) {
    ASSERT_TRUE(ApplySecurityRecord(MakeSecurityRecord(u"Right pw", kSecurityAlways, 30)));
    UnlockTime = 0;
    boxes::Clear();
    TRecordingLauncher launcher;
    launcher.Typed.push_back(c.password);
    TSecurityGate gate(launcher);
    EXPECT_EQ(gate.CheckUnlock(0, false, true), c.unlocked);
    EXPECT_EQ(UnlockTime != 0, c.unlocked);
    EXPECT_EQ(boxes::Shown().size(), c.unlocked ? 0u : 1u);
    EXPECT_EQ(DefaultCrypt->DecryptString(probe), u"probe") << "the program's cipher keeps its key";
  }
  MasterCrypt.clear();
}

TEST_F(SecurityGateTest, IsUnlockedNeedsLevelZeroOrAnUnlock) {
  SecurityLevel = kSecurityAlways;
  UnlockTime = 0;
  EXPECT_FALSE(IsUnlockedNow());
  UnlockTime = kTen;
  EXPECT_TRUE(IsUnlockedNow());
  SecurityLevel = kSecurityNone;
  UnlockTime = 0;
  EXPECT_TRUE(IsUnlockedNow());
}

}  // namespace
