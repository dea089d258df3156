// The cipher bag: named wide-string values that turn into one enciphered Base64 text
// and back, with a check value, and single wide strings enciphered under the same key.
// Every stored record and the security record pass through it.
//
// Cipher: K = BLAKE2b-256 of the key bytes; the nonce N is synthetic (the first 24
// bytes of BLAKE2b keyed with K over the plain bytes), so equal plain texts under one
// key give equal enciphered texts, which callers comparing enciphered texts rely on.
// Enciphered bytes = version byte 0x01, N, XChaCha20-Poly1305(K, N, plain bytes).
// A text whose tag does not verify fails exactly as a text under another key does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using TCryptKey = std::vector<std::uint8_t>;
using TCryptParams = std::vector<std::pair<std::u16string, std::u16string>>;

// Owned by whoever creates it (an item list, an identity, a vault); not locked:
// each owner guards its bag with its own lock.
class TWideCrypt {
 public:
  // With true the key is the user's key table (user_keys.h); else the key is empty
  // and the bag cannot encipher until SetKey.
  explicit TWideCrypt(bool useDefaultKey);
  // The key is wiped when it is replaced, cleared or released.
  virtual ~TWideCrypt();
  TWideCrypt(const TWideCrypt&) = delete;
  TWideCrypt& operator=(const TWideCrypt&) = delete;

  void ClearParams();
  void ClearKey();
  // One key byte per character: the low 8 bits of each UTF-16 code unit.
  void SetKey(std::u16string_view keyText);

  // Names are held upper-cased (ASCII letters only).
  int IndexOfName(std::u16string_view name) const;
  std::u16string GetValue(std::u16string_view name) const;
  void SetValue(std::u16string_view name, std::u16string_view value);
  const TCryptParams& Params() const { return params_; }

  // Serialises the bag (adding a "RANDOMIZER" pair); empty when the key is empty.
  std::string Encode();
  // Parses an enciphered text into the bag, keeping pairs the text does not set.
  // False (bag unchanged) for malformed, damaged or foreign text.
  bool Decode(std::u16string_view text);
  bool Decode(std::string_view text);
  bool Valid() const { return valid_; }

  // Empty for an empty text or an empty key.
  std::string EncryptString(std::u16string_view text) const;
  // Empty when the text is malformed, damaged or under another key.
  std::u16string DecryptString(std::string_view text) const;

  static int Checksum(std::u16string_view text);

 private:
  TCryptKey key_;
  TCryptParams params_;
  bool valid_ = false;
};

// Conversions used by the bag, open for the file layer and tests. Byte buffers are
// held in std::string.
std::string WideToBytes(std::u16string_view text);
// Length bytes/2, rounded up: an odd last byte becomes a code unit of its own.
std::u16string BytesToWide(std::string_view bytes);
std::string Base64Encode(std::string_view bytes);
// Empty for a length that is not a positive multiple of 4 or a character outside
// the alphabet.
std::string Base64Decode(std::string_view text);
// False for an empty key. Deciphering answers false for a wrong key, damage or an
// unknown version byte, leaving plain untouched.
bool EncipherWithKey(std::string_view plain, const TCryptKey& key, std::string& sealed);
bool DecipherWithKey(std::string_view sealed, const TCryptKey& key, std::string& plain);
std::u16string EscapeValue(std::u16string_view value);
std::u16string UnescapeValue(std::u16string_view value);
// Positions are 1-based; 0 is taken as 1; after the last token pos becomes -1.
std::u16string NextToken(std::u16string_view text, int& pos, char16_t separator);
void SplitNameValue(std::u16string_view token, char16_t separator, std::u16string& name,
                    std::u16string& value);
