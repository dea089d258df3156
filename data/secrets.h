// The fixed values that stored data depends on: the built-in key table, the fixed
// key text, the default check text, the verification phrase and the key-stretching table. They were drawn
// once from a good random source and are frozen: data written under other values
// cannot be read back. Nothing outside the data layer's cipher code should use them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace secrets {

// Key of every cipher bag created with the built-in key.
const std::array<std::uint8_t, 256>& BuiltInKeyTable();

// 120 characters of the Base64 alphabet; keys the cipher object of field lists and
// saved passwords (each character is one key byte).
std::u16string_view FixedKeyText();

// 120 characters of the Base64 alphabet; the check text of an identity without its
// own password.
std::string_view DefaultCheckText();

// Eight capitalised words joined by "#" (66 characters); enciphered under a password's
// key it proves the password without storing it.
std::u16string_view VerificationPhrase();

// 87 printable characters; the salt of password key stretching is derived from it.
std::string_view KeyStretchTable();

}  // namespace secrets
