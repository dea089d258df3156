// The fixed values that stored data depends on: the default check text, the
// verification phrase and the key-stretching table. They were drawn once from a good
// random source and are frozen: data written under other values cannot be read back.
// None of them is a key: the keys of the stored data are the user's own (user_keys).
// Nothing outside the data layer's cipher code should use them.
#pragma once

#include <string_view>

namespace secrets {

// 120 characters of the Base64 alphabet; the check text of an identity without its
// own password.
std::string_view DefaultCheckText();

// Eight capitalised words joined by "#" (66 characters); enciphered under a password's
// key it proves the password without storing it.
std::u16string_view VerificationPhrase();

// 87 printable characters; the salt of password key stretching is derived from it.
std::string_view KeyStretchTable();

}  // namespace secrets
