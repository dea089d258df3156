#include "data/password_key.h"

#include <gtest/gtest.h>

#include "data/crypt_wide.h"
#include "data/secrets.h"

namespace {

// Stretching is slow on purpose; this suite keeps its number of derivations small.
TEST(PasswordKeyTest, KeysAreStableCaseSensitiveAndHideThePassword) {
  EXPECT_EQ(MakePasswordKey(u"").Get(), u"");
  const std::u16string key = MakePasswordKey(u"Correct horse").Get();
  ASSERT_EQ(key.size(), 256u);
  for (char16_t c : key) ASSERT_LT(c, 256);
  EXPECT_EQ(MakePasswordKey(u"Correct horse").Get(), key);
  EXPECT_NE(MakePasswordKey(u"correct horse").Get(), key);
  // The password must not be readable from its key.
  std::u16string asBytes;
  for (char16_t c : u"Correct horse") asBytes.push_back(c & 0xFF);
  EXPECT_EQ(key.find(asBytes.substr(0, 4)), std::u16string::npos);
}

// Check texts made before salts were drawn still prove their password.
TEST(PasswordKeyTest, MasterPasswordIsCheckedByDecipheringThePhrase) {
  TWideCrypt crypt(false);
  crypt.SetKey(MakePasswordKey(u"m\u00e4ster\U0001F511").Get());
  const std::string masterCrypt = crypt.EncryptString(secrets::VerificationPhrase());
  ASSERT_FALSE(masterCrypt.empty());
  EXPECT_TRUE(MasterPasswordMatches(u"m\u00e4ster\U0001F511", masterCrypt));
  EXPECT_FALSE(MasterPasswordMatches(u"master\U0001F511", masterCrypt));
  EXPECT_FALSE(MasterPasswordMatches(u"", masterCrypt));
  EXPECT_FALSE(MasterPasswordMatches(u"m\u00e4ster\U0001F511", masterCrypt.substr(4)));
}

}  // namespace

namespace {

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (char c : bytes) {
    text += digits[(static_cast<unsigned char>(c) >> 4) & 0xF];
    text += digits[static_cast<unsigned char>(c) & 0xF];
  }
  return text;
}

// Each check has a salt of its own: one password gives a new check every time, each
// of which proves it, and only in its own domain.
TEST(PasswordKeyTest, ChecksAreSaltedAndKeptApartByDomain) {
  EXPECT_EQ(MakePasswordCheck(u"", TCheckDomain::Master), "");
  const std::string master = MakePasswordCheck(u"Same pw", TCheckDomain::Master);
  const std::string again = MakePasswordCheck(u"Same pw", TCheckDomain::Master);
  const std::string identity = MakePasswordCheck(u"Same pw", TCheckDomain::Identity);
  ASSERT_FALSE(master.empty());
  EXPECT_NE(master, again);
  EXPECT_NE(master, identity);
  std::string flipped = master;
  flipped[flipped.size() / 2] = flipped[flipped.size() / 2] == 'A' ? 'B' : 'A';
  struct Case {
    const char* what;
    std::string check;
    std::u16string password;
    TCheckDomain domain;
    bool matches;
  };
  const Case cases[] = {
      {"master check", master, u"Same pw", TCheckDomain::Master, true},
      {"second master check", again, u"Same pw", TCheckDomain::Master, true},
      {"identity check", identity, u"Same pw", TCheckDomain::Identity, true},
      {"master check as identity check", master, u"Same pw", TCheckDomain::Identity, false},
      {"identity check as master check", identity, u"Same pw", TCheckDomain::Master, false},
      {"other case", master, u"same pw", TCheckDomain::Master, false},
      {"empty password", master, u"", TCheckDomain::Master, false},
      {"damaged check", flipped, u"Same pw", TCheckDomain::Master, false},
      {"cut check", master.substr(0, 40), u"Same pw", TCheckDomain::Master, false},
      {"no check", "", u"Same pw", TCheckDomain::Master, false},
  };
  for (const Case& c : cases) EXPECT_EQ(PasswordCheckMatches(c.password, c.check, c.domain), c.matches) << c.what;
}

// Pinned construction: these values were made by this program. A change that gives
// others (key derivation, Argon2id parameters, nonce derivation, version bytes) makes
// every stored file and check unreadable.
TEST(PinnedConstructionTest, KeysNoncesAndVersionBytesStayAsStored) {
  EXPECT_EQ(kPasswordOpsLimit, 3u);
  EXPECT_EQ(kPasswordMemLimit, 64u * 1024u * 1024u);
  const TSecureText keyText = MakePasswordKey(u"pin");
  std::string key;
  for (char16_t c : keyText.Get()) key.push_back(static_cast<char>(c));
  EXPECT_EQ(Hex(key.substr(0, 32)), "a6b375fb4a47b5eebb044c458aab675caad0c6ca75a21f85fb000ae7f03e00df");

  std::string sealed;
  ASSERT_TRUE(EncipherWithKey("plain bytes", TCryptKey{1, 2, 3}, sealed));
  EXPECT_EQ(Hex(sealed),
            "013168543799bf9b300fbfb724905d567fe86f7efd37d4dcccec9407e7cae519d65c1438b77a4f60e3cc4330776bda9077f39c91")
      << "version 0x01, synthetic nonce, XChaCha20-Poly1305";

  // A check text of the first kind and one with its salt (version 0x02), both of "pin".
  const std::string firstKind =
      "ARvrnUGMPZX5i1ahASMKpSjCTWZu4jAa0myb+gy4TY4SISgqVS6WJ2d9qfU6eeA+Tl1knLrgdUz8qC3cQ6q+JZ30WRl1h6lIqpu/qs3dbeFP8sG9"
      "e0bmvjhk93FlcAPbHMWZ3kpqOcEbLOnMvaAH9MTaWrwgCwKJPumxCwTfzPBLQavc8NPAkvmoOd5UDFMBroMFcLNSbymLZbsul9NvNIkcc4l06gCu"
      "DPme5kE=";
  const std::string salted =
      "Ao8WI2gYBiImkrPxv5jKE09ONremuMsnPiD3YfUrzq68Yels6seekN8U0c+cj2gzmMj6cJq48BLHZ6gXDFYdexNuGFy5IDOCJRKVeMFPrb9R352l"
      "TN1Xv8z4Onvm/uFELWxIzuS2JiKab31o1xkNKeNDTaJaxVlpc4tm4zPPweEZGCpAqlNbyFxbsN2k91BaITuW5Yf+lXDLXCDN6z69g4N3tpc7uAnI"
      "ebBQBlHDpOMk4CRrJ9qPpuvF3Y+o";
  EXPECT_EQ(Base64Decode(salted)[0], '\x02');
  EXPECT_TRUE(MasterPasswordMatches(u"pin", firstKind));
  EXPECT_TRUE(PasswordCheckMatches(u"pin", firstKind, TCheckDomain::Identity));
  EXPECT_TRUE(MasterPasswordMatches(u"pin", salted));
  EXPECT_FALSE(PasswordCheckMatches(u"pin", salted, TCheckDomain::Identity));
  EXPECT_FALSE(MasterPasswordMatches(u"pun", salted));
}

}  // namespace
