#include "data/user_keys.h"

#include <sodium.h>

#include <mutex>
#include <string_view>

#include "data/crypt_wide.h"
#include "platform/base/state_root.h"
#include "platform/fs/whole_files.h"
#include "platform/secrets/secret_store.h"
#include "support/debug_log.h"

namespace {

constexpr std::string_view kKeyFileMagic = "PXK1";
constexpr char kKeysInFile = 'F';
constexpr char kKeysInStore = 'S';
constexpr std::size_t kKeyBytes = kKeyTableBytes + kFixedKeyTextLength;
constexpr char kSecretLabel[] = "Pellix keys of the stored data";

struct Loaded {
  bool read = false;
  std::string root;
  std::shared_ptr<const TUserKeys> keys;
  TKeyHome home = TKeyHome::None;
};

std::mutex lock;
Loaded current;

// The keys from their bytes; null unless there are exactly kKeyBytes.
std::shared_ptr<const TUserKeys> FromBytes(std::string_view bytes) {
  if (bytes.size() != kKeyBytes) return nullptr;
  auto keys = std::make_shared<TUserKeys>();
  keys->Table.Get().assign(bytes.substr(0, kKeyTableBytes));
  keys->FixedKeyText.Get().reserve(kFixedKeyTextLength);
  for (char c : bytes.substr(kKeyTableBytes)) keys->FixedKeyText.Get().push_back(static_cast<unsigned char>(c));
  return keys;
}

// New keys from the system's random source; the key text is the Base64 of random
// bytes, so that every character is of its alphabet.
TSecureBytes DrawKeys() {
  TSecureBytes table(std::string(kKeyTableBytes, '\0'));
  TSecureBytes textBytes(std::string(kFixedKeyTextLength / 4 * 3, '\0'));
  randombytes_buf(table.Get().data(), table.size());
  randombytes_buf(textBytes.Get().data(), textBytes.size());
  TSecureBytes text(Base64Encode(textBytes.Get()));
  TSecureBytes bytes;
  bytes.Get().reserve(kKeyBytes);
  bytes.Get() += table.Get();
  bytes.Get() += text.Get();
  return bytes;
}

bool WriteKeyFile(const std::string& path, char kind, std::string_view keys) {
  TSecureBytes file(std::string(kKeyFileMagic) + kind);
  file.Get().reserve(file.size() + keys.size());
  file.Get() += keys;
  return platform::WriteWholeFile(path, file.Get());
}

std::shared_ptr<const TUserKeys> FromStore(const std::string& account) {
  std::string text;
  if (platform::LookupSecret(account, text) != platform::TSecretLookup::Found) return nullptr;
  TSecureBytes secret(std::move(text));
  TSecureBytes bytes(Base64Decode(secret.Get()));
  return FromBytes(bytes.Get());
}

// At the first start: the store when it takes them (the key file then only says so),
// else the key file. Null when neither keeps them: keys that are not kept must not
// encipher anything.
Loaded MakeKeys(const std::string& root, const std::string& path) {
  TSecureBytes bytes = DrawKeys();
  TSecureBytes secret(Base64Encode(bytes.Get()));
  if (platform::StoreSecret(root, kSecretLabel, secret.Get())) {
    if (!WriteKeyFile(path, kKeysInStore, {})) LogError("The key file could not say that the keys are in the secret store");
    return {true, root, FromBytes(bytes.Get()), TKeyHome::SecretStore};
  }
  if (!WriteKeyFile(path, kKeysInFile, bytes.Get())) return {true, root, nullptr, TKeyHome::None};
  return {true, root, FromBytes(bytes.Get()), TKeyHome::KeyFile};
}

Loaded ReadKeys(const std::string& root) {
  const std::string path = root + "/" + kKeyFileName;
  std::optional<std::string> read = platform::ReadWholeFile(path);
  if (!read) return {true, root, nullptr, TKeyHome::None};
  TSecureBytes file(std::move(*read));
  const std::string_view bytes = file.Get();
  if (bytes.empty()) {
    // A key file lost after the store took the keys: the store still has them.
    if (auto stored = FromStore(root)) {
      WriteKeyFile(path, kKeysInStore, {});
      return {true, root, stored, TKeyHome::SecretStore};
    }
    return MakeKeys(root, path);
  }
  if (bytes.size() < kKeyFileMagic.size() + 1 || bytes.substr(0, kKeyFileMagic.size()) != kKeyFileMagic) {
    return {true, root, nullptr, TKeyHome::None};
  }
  const char kind = bytes[kKeyFileMagic.size()];
  const std::string_view keys = bytes.substr(kKeyFileMagic.size() + 1);
  if (kind == kKeysInFile) return {true, root, FromBytes(keys), TKeyHome::KeyFile};
  if (kind == kKeysInStore && keys.empty()) return {true, root, FromStore(root), TKeyHome::SecretStore};
  return {true, root, nullptr, TKeyHome::None};
}

Loaded& Current() {
  const std::string root = platform::StateRoot().string();
  if (current.read && root == current.root) return current;
  current = sodium_init() < 0 || root.empty() ? Loaded{} : ReadKeys(root);
  current.read = true;
  current.root = root;
  if (!current.keys) LogError("The keys of the stored data cannot be had: no list is read or written");
  return current;
}

}  // namespace

std::shared_ptr<const TUserKeys> UserKeys() {
  std::lock_guard<std::mutex> hold(lock);
  return Current().keys;
}

TKeyHome UserKeysHome() {
  std::lock_guard<std::mutex> hold(lock);
  const Loaded& loaded = Current();
  return loaded.keys ? loaded.home : TKeyHome::None;
}
