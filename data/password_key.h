// Key texts stretched from passwords, and the checks that prove a password without
// storing it.
//
// A check text is Base64 of: version byte 0x02, a random 16-byte salt, a random
// 24-byte nonce, and XChaCha20-Poly1305 of the verification phrase (UTF-16LE) under
// the 32-byte Argon2id key of the password and the salt, with the check's domain as
// associated data, so that a master check never passes as an identity check. Check
// texts made before salts were drawn (version byte 0x01: EncryptString of the phrase
// under MakePasswordKey) are still read.
#pragma once

#include <string>
#include <string_view>

#include "data/secure_text.h"

// Argon2id parameters of every password key: changing them makes stored checks fail.
inline constexpr unsigned long long kPasswordOpsLimit = 3;
inline constexpr std::size_t kPasswordMemLimit = 64u * 1024u * 1024u;

// The key text of a password for TWideCrypt::SetKey: 256 characters, one per key
// byte, derived with Argon2id from the password's UTF-16LE bytes under the fixed
// salt of the first check texts. The same password always gives the same key; case
// matters. Empty for an empty password, and empty when the derivation cannot run
// (out of memory): an empty key never enciphers.
TSecureText MakePasswordKey(std::u16string_view password);

enum class TCheckDomain { Master, Identity };

// A new check text of Password in Domain with a fresh salt; empty for an empty
// password or when it cannot be made.
std::string MakePasswordCheck(std::u16string_view password, TCheckDomain domain);
// True when Check proves Password in Domain (a text of the first kind proves it in
// either domain, as it always did).
bool PasswordCheckMatches(std::u16string_view password, std::string_view check, TCheckDomain domain);
// True when MasterCrypt (the stored "MASTER_CRYPT" text) proves Password as the
// master password.
bool MasterPasswordMatches(std::u16string_view password, std::string_view masterCrypt);
