// The user's two keys of the stored data: the key table of every cipher bag made with
// the built-in key, and the fixed key text of the field lists and saved passwords.
// Nothing compiled into the program protects the data: at the first start both keys
// are drawn from the system's random source and kept in the desktop's secret store
// when one answers, else in the key file "keys" (0600) under the state root; the key
// file then says where they are:
//   "PXK1" 'F' and the 256 table bytes and 120 key-text characters, or
//   "PXK1" 'S' (the keys are in the secret store, under the state root's path).
// Keys that were made once are never made again: a store that no longer answers, or a
// damaged key file, leaves the program without keys (nothing is read or written)
// rather than with new keys that would not read the stored data.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "data/secure_text.h"

inline constexpr std::size_t kKeyTableBytes = 256;
inline constexpr std::size_t kFixedKeyTextLength = 120;
inline constexpr char kKeyFileName[] = "keys";

struct TUserKeys {
  TSecureBytes Table;
  // Characters of the Base64 alphabet, one key byte each.
  TSecureText FixedKeyText;
};

enum class TKeyHome { SecretStore, KeyFile, None };

// The keys of the current state root, read (or made) on first use after the root
// changed; null when they cannot be had. Thread-safe.
std::shared_ptr<const TUserKeys> UserKeys();
// Where the current keys are kept.
TKeyHome UserKeysHome();
