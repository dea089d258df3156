// The user's keys: made at the first start, kept in the secret store when one answers
// (a real gnome-keyring on a private bus here) or in the key file, never made again.
#include "data/user_keys.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/private_keyring.h"
#include "common/test_env.h"
#include "data/crypt_wide.h"
#include "platform/secrets/secret_store.h"

namespace {

namespace fs = std::filesystem;

// Points the state root at a folder of the test's own and back.
class OwnRoot {
 public:
  OwnRoot() : previous_(std::getenv("PELLIX_HOME")) { Enter(); }
  ~OwnRoot() { setenv("PELLIX_HOME", previous_.c_str(), 1); }
  void Enter() { setenv("PELLIX_HOME", dir_.path().c_str(), 1); }
  void Leave() { setenv("PELLIX_HOME", previous_.c_str(), 1); }
  fs::path KeyFile() const { return dir_ / kKeyFileName; }

 private:
  std::string previous_;
  pellix_test::TempDir dir_;
};

std::string KeyBytes(const TUserKeys& keys) {
  std::string bytes = keys.Table.Get();
  for (char16_t c : keys.FixedKeyText.Get()) bytes.push_back(static_cast<char>(c));
  return bytes;
}

bool IsBase64Text(const std::u16string& text) {
  constexpr std::u16string_view alphabet = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  return text.find_first_not_of(alphabet) == std::u16string::npos;
}

TEST(UserKeysTest, EachRootMakesItsOwnKeysOnceAndKeepsThemInAPrivateFile) {
  OwnRoot first;
  const auto keys = UserKeys();
  ASSERT_TRUE(keys);
  EXPECT_EQ(UserKeysHome(), TKeyHome::KeyFile);
  EXPECT_EQ(keys->Table.size(), kKeyTableBytes);
  EXPECT_EQ(keys->FixedKeyText.size(), kFixedKeyTextLength);
  EXPECT_TRUE(IsBase64Text(keys->FixedKeyText.Get()));
  EXPECT_EQ(fs::status(first.KeyFile()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(pellix_test::ReadBytes(first.KeyFile()), "PXK1F" + KeyBytes(*keys));

  OwnRoot second;
  const auto other = UserKeys();
  ASSERT_TRUE(other);
  EXPECT_NE(KeyBytes(*other), KeyBytes(*keys)) << "no two installs share a key";
  first.Enter();
  EXPECT_EQ(KeyBytes(*UserKeys()), KeyBytes(*keys)) << "keys are read back, not made again";
  first.Leave();
}

// A key file that cannot be read leaves the program without keys (nothing can be
// enciphered or read), and is never replaced by new keys.
TEST(UserKeysTest, ADamagedKeyFileGivesNoKeysAndStays) {
  const std::string cases[] = {"PXK1F" + std::string(100, 'k'), "PXK2F" + std::string(376, 'k'), "PXK1S-",
                               "PXK1X", "garbage"};
  for (const std::string& bytes : cases) {
    OwnRoot root;
    pellix_test::WriteBytes(root.KeyFile(), bytes);
    EXPECT_FALSE(UserKeys()) << bytes;
    EXPECT_EQ(UserKeysHome(), TKeyHome::None) << bytes;
    TWideCrypt bag(true);
    bag.SetValue(u"A", u"b");
    EXPECT_EQ(bag.Encode(), "") << bytes;
    EXPECT_EQ(pellix_test::ReadBytes(root.KeyFile()), bytes);
  }
}

TEST(UserKeysTest, KeysGoToTheSecretStoreWhenOneAnswersAndAreNeverMadeAgain) {
  const std::string missing = pellix_test::PrivateKeyring::MissingTools();
  if (!missing.empty()) GTEST_SKIP() << "no secret store to test against: " << missing << " not installed";
  pellix_test::PrivateKeyring keyring;
  std::string why;
  ASSERT_TRUE(keyring.Start(why)) << why;
  OwnRoot root;
  const auto keys = UserKeys();
  ASSERT_TRUE(keys);
  EXPECT_EQ(UserKeysHome(), TKeyHome::SecretStore);
  EXPECT_EQ(pellix_test::ReadBytes(root.KeyFile()), "PXK1S") << "the file only says where the keys are";
  std::string secret;
  ASSERT_EQ(platform::LookupSecret(fs::path(std::getenv("PELLIX_HOME")).string(), secret),
            platform::TSecretLookup::Found);
  EXPECT_EQ(Base64Decode(secret), KeyBytes(*keys));

  // Read again at the next start (another root in between drops the cached keys).
  OwnRoot other;
  ASSERT_TRUE(UserKeys());
  root.Enter();
  ASSERT_TRUE(UserKeys());
  EXPECT_EQ(KeyBytes(*UserKeys()), KeyBytes(*keys));

  // A store that no longer answers gives no keys rather than new ones.
  keyring.Stop();
  other.Enter();
  UserKeys();
  root.Enter();
  EXPECT_FALSE(UserKeys());
  EXPECT_EQ(pellix_test::ReadBytes(root.KeyFile()), "PXK1S");
}

}  // namespace
