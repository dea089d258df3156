// The secret store against a real one: gnome-keyring on a private session bus.
#include "platform/secrets/secret_store.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/private_keyring.h"

namespace {

using platform::TSecretLookup;

TEST(SecretStore, WithoutASessionBusNothingIsAsked) {
  ASSERT_EQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
  std::string secret = "left over";
  EXPECT_EQ(platform::LookupSecret("/some/root", secret), TSecretLookup::Unavailable);
  EXPECT_EQ(secret, "");
  EXPECT_FALSE(platform::StoreSecret("/some/root", "label", "secret"));
}

TEST(SecretStore, SecretsAreKeptPerAccountAndReplaced) {
  const std::string missing = pellix_test::PrivateKeyring::MissingTools();
  if (!missing.empty()) GTEST_SKIP() << "no secret store to test against: " << missing << " not installed";
  pellix_test::PrivateKeyring keyring;
  std::string why;
  ASSERT_TRUE(keyring.Start(why)) << why;
  std::string secret;
  EXPECT_EQ(platform::LookupSecret("/root/one", secret), TSecretLookup::NotFound);
  ASSERT_TRUE(platform::StoreSecret("/root/one", "Pellix test", "first secret"));
  ASSERT_TRUE(platform::StoreSecret("/root/two", "Pellix test", "second secret"));
  ASSERT_EQ(platform::LookupSecret("/root/one", secret), TSecretLookup::Found);
  EXPECT_EQ(secret, "first secret");
  ASSERT_TRUE(platform::StoreSecret("/root/one", "Pellix test", "replaced"));
  ASSERT_EQ(platform::LookupSecret("/root/one", secret), TSecretLookup::Found);
  EXPECT_EQ(secret, "replaced");
  ASSERT_EQ(platform::LookupSecret("/root/two", secret), TSecretLookup::Found);
  EXPECT_EQ(secret, "second secret");
  keyring.Stop();
  EXPECT_EQ(platform::LookupSecret("/root/one", secret), TSecretLookup::Unavailable);
  EXPECT_FALSE(platform::StoreSecret("/root/one", "Pellix test", "x"));
}

}  // namespace
