// Key texts stretched from passwords, and the master-password check.
#pragma once

#include <string>
#include <string_view>

// The key text of a password for TWideCrypt::SetKey: 256 characters, one per key
// byte, derived with Argon2id from the password's UTF-16LE bytes. The same password
// always gives the same key; case matters. Empty for an empty password, and empty
// when the derivation cannot run (out of memory): an empty key never enciphers.
std::u16string MakePasswordKey(std::u16string_view password);

// True when MasterCrypt (the stored "MASTER_CRYPT" text) deciphers under the key of
// Password to the verification phrase.
bool MasterPasswordMatches(std::u16string_view password, std::string_view masterCrypt);
