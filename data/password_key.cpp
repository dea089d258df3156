#include "data/password_key.h"

#include <sodium.h>

#include <array>

#include "data/crypt_wide.h"
#include "data/secrets.h"

namespace {

constexpr std::size_t kKeyTextLength = 256;
constexpr std::uint8_t kCheckVersion = 0x02;
constexpr std::size_t kSaltBytes = crypto_pwhash_SALTBYTES;
constexpr std::size_t kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kCheckKeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr std::size_t kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;

using Salt = std::array<unsigned char, kSaltBytes>;

const unsigned char* Bytes(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

// The salt of the first check texts: fixed, made this program's own by the
// key-stretching table.
Salt FixedSalt() {
  Salt salt{};
  std::string_view table = secrets::KeyStretchTable();
  crypto_generichash(salt.data(), salt.size(), Bytes(table), table.size(), nullptr, 0);
  return salt;
}

// Argon2id of the password's UTF-16LE bytes into Size bytes; empty when it cannot run.
TSecureBytes Stretch(std::u16string_view password, const unsigned char* salt, std::size_t size) {
  if (password.empty() || sodium_init() < 0) return {};
  TSecureBytes bytes(WideToBytes(password));
  TSecureBytes key(std::string(size, '\0'));
  if (crypto_pwhash(reinterpret_cast<unsigned char*>(key.Get().data()), size, bytes.Get().data(), bytes.size(),
                    salt, kPasswordOpsLimit, kPasswordMemLimit, crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return {};
  }
  return key;
}

std::string_view DomainLabel(TCheckDomain domain) {
  return domain == TCheckDomain::Master ? "pellix master password check" : "pellix identity password check";
}

bool IsPhrase(std::string_view plainBytes) { return SameBytes(plainBytes, WideToBytes(secrets::VerificationPhrase())); }

bool FirstKindMatches(std::u16string_view password, std::string_view check) {
  TSecureText key = MakePasswordKey(password);
  if (key.empty()) return false;
  TWideCrypt crypt(false);
  crypt.SetKey(key.Get());
  TSecureText plain(crypt.DecryptString(check));
  return IsPhrase(WideToBytes(plain.Get()));
}

}  // namespace

TSecureText MakePasswordKey(std::u16string_view password) {
  const Salt salt = FixedSalt();
  TSecureBytes key = Stretch(password, salt.data(), kKeyTextLength);
  TSecureText text;
  text.Get().reserve(key.size());
  for (char byte : key.Get()) text.Get().push_back(static_cast<unsigned char>(byte));
  return text;
}

std::string MakePasswordCheck(std::u16string_view password, TCheckDomain domain) {
  if (password.empty() || sodium_init() < 0) return {};
  const std::string plain = WideToBytes(secrets::VerificationPhrase());
  std::string sealed(1 + kSaltBytes + kNonceBytes + plain.size() + kTagBytes, '\0');
  auto* out = reinterpret_cast<unsigned char*>(sealed.data());
  out[0] = kCheckVersion;
  randombytes_buf(out + 1, kSaltBytes + kNonceBytes);
  TSecureBytes key = Stretch(password, out + 1, kCheckKeyBytes);
  if (key.empty()) return {};
  const std::string_view label = DomainLabel(domain);
  crypto_aead_xchacha20poly1305_ietf_encrypt(out + 1 + kSaltBytes + kNonceBytes, nullptr, Bytes(plain), plain.size(),
                                             Bytes(label), label.size(), nullptr, out + 1 + kSaltBytes,
                                             Bytes(key.Get()));
  return Base64Encode(sealed);
}

bool PasswordCheckMatches(std::u16string_view password, std::string_view check, TCheckDomain domain) {
  const std::string sealed = Base64Decode(check);
  if (sealed.empty() || password.empty()) return false;
  if (sealed[0] != static_cast<char>(kCheckVersion)) return FirstKindMatches(password, check);
  if (sealed.size() < 1 + kSaltBytes + kNonceBytes + kTagBytes) return false;
  const unsigned char* in = Bytes(sealed);
  TSecureBytes key = Stretch(password, in + 1, kCheckKeyBytes);
  if (key.empty()) return false;
  const std::size_t cipherBytes = sealed.size() - 1 - kSaltBytes - kNonceBytes;
  TSecureBytes plain(std::string(cipherBytes - kTagBytes, '\0'));
  const std::string_view label = DomainLabel(domain);
  const bool opened = crypto_aead_xchacha20poly1305_ietf_decrypt(
                          reinterpret_cast<unsigned char*>(plain.Get().data()), nullptr, nullptr,
                          in + 1 + kSaltBytes + kNonceBytes, cipherBytes, Bytes(label), label.size(),
                          in + 1 + kSaltBytes, Bytes(key.Get())) == 0;
  return opened && IsPhrase(plain.Get());
}

bool MasterPasswordMatches(std::u16string_view password, std::string_view masterCrypt) {
  return PasswordCheckMatches(password, masterCrypt, TCheckDomain::Master);
}
