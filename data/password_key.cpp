#include "data/password_key.h"

#include <sodium.h>

#include <array>

#include "data/crypt_wide.h"
#include "data/secrets.h"

namespace {

constexpr std::size_t kKeyTextLength = 256;
constexpr unsigned long long kOpsLimit = 3;
constexpr std::size_t kMemLimit = 64u * 1024u * 1024u;

// The salt is fixed for the stored data: a password must give the same key in every
// run, and the key-stretching table makes it this program's own.
std::array<unsigned char, crypto_pwhash_SALTBYTES> StretchSalt() {
  std::array<unsigned char, crypto_pwhash_SALTBYTES> salt{};
  std::string_view table = secrets::KeyStretchTable();
  crypto_generichash(salt.data(), salt.size(), reinterpret_cast<const unsigned char*>(table.data()),
                     table.size(), nullptr, 0);
  return salt;
}

}  // namespace

std::u16string MakePasswordKey(std::u16string_view password) {
  if (password.empty() || sodium_init() < 0) return {};
  std::string bytes = WideToBytes(password);
  std::array<unsigned char, kKeyTextLength> key{};
  auto salt = StretchSalt();
  int result = crypto_pwhash(key.data(), key.size(), bytes.data(), bytes.size(), salt.data(),
                             kOpsLimit, kMemLimit, crypto_pwhash_ALG_ARGON2ID13);
  sodium_memzero(bytes.data(), bytes.size());
  if (result != 0) return {};
  std::u16string text(key.begin(), key.end());
  sodium_memzero(key.data(), key.size());
  return text;
}

bool MasterPasswordMatches(std::u16string_view password, std::string_view masterCrypt) {
  std::u16string key = MakePasswordKey(password);
  if (key.empty()) return false;
  TWideCrypt crypt(false);
  crypt.SetKey(key);
  return crypt.DecryptString(masterCrypt) == secrets::VerificationPhrase();
}
