#include "app/security_gate.h"

#include <gtest/gtest.h>

#include "data/data_startup.h"
#include "platform/win/message_box.h"

namespace {

// Answers the password prompt with the password it was given.
class AnsweringLauncher : public TRecordingLauncher {
 public:
  explicit AnsweringLauncher(std::u16string password) : password_(std::move(password)) {}
  bool AskVaultPassword(HWND owner, bool flag, const std::u16string& text, std::u16string& password) override {
    TRecordingLauncher::AskVaultPassword(owner, flag, text, password);
    password = password_;
    return true;
  }

 private:
  std::u16string password_;
};

// The gate checks a password by deciphering the stored check: the program-wide cipher
// object keeps its own key whatever the answer.
TEST(SecurityGateTest, APasswordIsCheckedWithoutTouchingTheProgramCipher) {
  DefaultCrypt = std::make_unique<TWideCrypt>(true);
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
    platform::message_box_driver::Clear();
    AnsweringLauncher launcher(c.password);
    TSecurityGate gate(launcher);
    EXPECT_EQ(gate.CheckUnlock(0, false, true), c.unlocked);
    EXPECT_EQ(UnlockTime != 0, c.unlocked);
    EXPECT_EQ(platform::message_box_driver::Shown().size(), c.unlocked ? 0u : 1u);
    EXPECT_EQ(DefaultCrypt->DecryptString(probe), u"probe") << "the program's cipher keeps its key";
  }
  DefaultCrypt.reset();
  MasterCrypt.clear();
  UnlockTime = 0;
}

}  // namespace
