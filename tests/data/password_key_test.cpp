#include "data/password_key.h"

#include <gtest/gtest.h>

#include "data/crypt_wide.h"
#include "data/secrets.h"

namespace {

// Stretching is slow on purpose; this suite keeps its number of derivations small.
TEST(PasswordKeyTest, KeysAreStableCaseSensitiveAndHideThePassword) {
  EXPECT_EQ(MakePasswordKey(u""), u"");
  const std::u16string key = MakePasswordKey(u"Correct horse");
  ASSERT_EQ(key.size(), 256u);
  for (char16_t c : key) ASSERT_LT(c, 256);
  EXPECT_EQ(MakePasswordKey(u"Correct horse"), key);
  EXPECT_NE(MakePasswordKey(u"correct horse"), key);
  // The password must not be readable from its key.
  std::u16string asBytes;
  for (char16_t c : u"Correct horse") asBytes.push_back(c & 0xFF);
  EXPECT_EQ(key.find(asBytes.substr(0, 4)), std::u16string::npos);
}

TEST(PasswordKeyTest, MasterPasswordIsCheckedByDecipheringThePhrase) {
  TWideCrypt crypt(false);
  crypt.SetKey(MakePasswordKey(u"m\u00e4ster\U0001F511"));
  const std::string masterCrypt = crypt.EncryptString(secrets::VerificationPhrase());
  ASSERT_FALSE(masterCrypt.empty());
  EXPECT_TRUE(MasterPasswordMatches(u"m\u00e4ster\U0001F511", masterCrypt));
  EXPECT_FALSE(MasterPasswordMatches(u"master\U0001F511", masterCrypt));
  EXPECT_FALSE(MasterPasswordMatches(u"", masterCrypt));
  EXPECT_FALSE(MasterPasswordMatches(u"m\u00e4ster\U0001F511", masterCrypt.substr(4)));
}

}  // namespace
