#include "data/crypt_wide.h"

#include <sodium.h>

#include <algorithm>
#include <array>

#include "data/user_keys.h"
#include "data/secure_text.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"

namespace {

constexpr char16_t kPairSeparator = u'\r';
constexpr char16_t kNameSeparator = u'\t';
constexpr std::u16string_view kChecksumName = u"_CRC";
constexpr std::uint8_t kFormatVersion = 0x01;
constexpr std::size_t kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr std::size_t kKeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr std::size_t kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool SodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

using CipherKey = std::array<unsigned char, kKeyBytes>;

CipherKey DeriveCipherKey(const TCryptKey& key) {
  CipherKey k{};
  crypto_generichash(k.data(), k.size(), key.data(), key.size(), nullptr, 0);
  return k;
}

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

std::u16string UpperAscii(std::u16string_view name) {
  std::u16string result(name);
  for (char16_t& c : result) c = UpperAscii(c);
  return result;
}

// The sum Checksum makes, continued over more text.
std::uint32_t AddToChecksum(std::uint32_t sum, std::u16string_view text) {
  for (char16_t c : text) {
    sum += c;
    if (sum > 65535) sum %= 65535;
  }
  return sum;
}

// Decimal digits only: a checksum is never negative.
bool ParseChecksum(std::u16string_view text, int& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
  }
  return true;
}

constexpr std::array<std::int8_t, 256> kBase64Values = [] {
  std::array<std::int8_t, 256> values{};
  values.fill(-1);
  for (std::size_t i = 0; i < kBase64Alphabet.size(); ++i) {
    values[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::int8_t>(i);
  }
  return values;
}();

int Base64Value(char c) { return kBase64Values[static_cast<unsigned char>(c)]; }

}  // namespace

TWideCrypt::TWideCrypt(bool useDefaultKey) {
  if (!useDefaultKey) return;
  // Without the user's keys the bag stays without a key: it cannot encipher.
  if (auto keys = UserKeys()) key_.assign(keys->Table.Get().begin(), keys->Table.Get().end());
}

void TWideCrypt::ClearParams() { params_.clear(); }

TWideCrypt::~TWideCrypt() { ClearKey(); }

void TWideCrypt::ClearKey() {
  WipeBytes(key_.data(), key_.size());
  key_.clear();
}

void TWideCrypt::SetKey(std::u16string_view keyText) {
  ClearKey();
  // Room first: growing the buffer would leave copies of the key behind.
  key_.reserve(keyText.size());
  for (char16_t c : keyText) key_.push_back(static_cast<std::uint8_t>(c & 0xFF));
}

int TWideCrypt::IndexOfName(std::u16string_view name) const {
  // The names are kept upper-case: compared as such, without an upper-case copy.
  const auto sameUpper = [](char16_t kept, char16_t wanted) { return kept == UpperAscii(wanted); };
  for (std::size_t i = 0; i < params_.size(); ++i) {
    if (std::equal(params_[i].first.begin(), params_[i].first.end(), name.begin(), name.end(), sameUpper)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::u16string TWideCrypt::GetValue(std::u16string_view name) const {
  int index = IndexOfName(name);
  return index < 0 ? std::u16string() : params_[index].second;
}

void TWideCrypt::SetValue(std::u16string_view name, std::u16string_view value) {
  int index = IndexOfName(name);
  if (index >= 0) {
    params_[index].second = value;
  } else {
    params_.emplace_back(UpperAscii(name), value);
  }
}

std::string TWideCrypt::Encode() {
  if (key_.empty()) return {};
  std::string ticks = std::to_string(GetTickCount());
  SetValue(u"RANDOMIZER", std::u16string(ticks.begin(), ticks.end()));
  std::u16string body;
  for (const auto& [name, value] : params_) {
    body.append(1, kPairSeparator).append(name).append(1, kNameSeparator).append(EscapeValue(value));
  }
  std::string sum = std::to_string(Checksum(body));
  std::u16string text(kChecksumName);
  text.append(1, kNameSeparator).append(sum.begin(), sum.end()).append(body);
  std::string sealed;
  if (!EncipherWithKey(WideToBytes(text), key_, sealed)) return {};
  return Base64Encode(sealed);
}

bool TWideCrypt::Decode(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (char16_t c : text) {
    if (c > 0x7F) {
      valid_ = false;
      return false;
    }
    narrow.push_back(static_cast<char>(c));
  }
  return Decode(std::string_view(narrow));
}

bool TWideCrypt::Decode(std::string_view text) {
  valid_ = false;
  std::string sealed = Base64Decode(text);
  std::string plainBytes;
  if (sealed.empty() || !DecipherWithKey(sealed, key_, plainBytes)) return false;
  std::u16string plain = BytesToWide(plainBytes);

  int pos = 1;
  std::u16string name, value;
  SplitNameValue(NextToken(plain, pos, kPairSeparator), kNameSeparator, name, value);
  int expected = 0;
  if (name != kChecksumName || !ParseChecksum(value, expected)) return false;
  const std::u16string_view rest = pos < 0 ? std::u16string_view() : std::u16string_view(plain).substr(pos - 1);
  const auto actual = static_cast<int>(rest.empty() ? 0 : AddToChecksum(kPairSeparator, rest));
  if (actual != expected) return false;

  for (int at = rest.empty() ? -1 : 1; at > 0;) {
    SplitNameValue(NextToken(rest, at, kPairSeparator), kNameSeparator, name, value);
    SetValue(name, UnescapeValue(value));
  }
  valid_ = true;
  return true;
}

std::string TWideCrypt::EncryptString(std::u16string_view text) const {
  std::string sealed;
  if (text.empty() || !EncipherWithKey(WideToBytes(text), key_, sealed)) return {};
  return Base64Encode(sealed);
}

std::u16string TWideCrypt::DecryptString(std::string_view text) const {
  std::string sealed = Base64Decode(text);
  std::string plain;
  if (sealed.empty() || !DecipherWithKey(sealed, key_, plain)) return {};
  return BytesToWide(plain);
}

int TWideCrypt::Checksum(std::u16string_view text) { return static_cast<int>(AddToChecksum(0, text)); }

// Both conversions write in place (little-endian units), as a record's whole text goes
// through them on every save and load.
std::string WideToBytes(std::u16string_view text) {
  std::string bytes(text.size() * 2, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return bytes;
}

std::u16string BytesToWide(std::string_view bytes) {
  std::u16string text((bytes.size() + 1) / 2, u'\0');
  auto byte = [&](std::size_t i) { return static_cast<char16_t>(static_cast<unsigned char>(bytes[i])); };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) text[i / 2] = static_cast<char16_t>(byte(i) | byte(i + 1) << 8);
  if (bytes.size() % 2) text.back() = byte(bytes.size() - 1);
  return text;
}

std::string Base64Encode(std::string_view bytes) {
  // Written in place, whole groups first: appending character by character costs more
  // than the ciphering.
  std::string text((bytes.size() + 2) / 3 * 4, '=');
  char* out = text.data();
  const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
  const auto put = [&](std::uint32_t group, std::size_t digits) {
    for (std::size_t j = 0; j < digits; ++j) out[j] = kBase64Alphabet[(group >> (18 - 6 * j)) & 0x3F];
    out += 4;
  };
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) put(byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2), 4);
  if (bytes.size() - i == 1) put(byte(i) << 16, 2);
  if (bytes.size() - i == 2) put(byte(i) << 16 | byte(i + 1) << 8, 3);
  return text;
}

std::string Base64Decode(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return {};
  std::size_t padding = text.size() - (text.find_last_not_of('=') + 1);
  if (text.find_last_not_of('=') == std::string_view::npos || padding > 2) return {};
  // Written in place, as Base64Encode.
  std::string bytes(text.size() / 4 * 3 - padding, '\0');
  char* out = bytes.data();
  for (std::size_t i = 0; i < text.size(); i += 4) {
    bool last = i + 4 == text.size();
    std::size_t digits = last ? 4 - padding : 4;
    std::uint32_t group = 0;
    int bad = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      int value = j < digits ? Base64Value(text[i + j]) : 0;
      bad |= value;
      group = (group << 6) | static_cast<std::uint32_t>(value);
    }
    if (bad < 0) return {};
    for (std::size_t j = 0; j + 1 < digits; ++j) *out++ = static_cast<char>((group >> (16 - 8 * j)) & 0xFF);
  }
  return bytes;
}

bool EncipherWithKey(std::string_view plain, const TCryptKey& key, std::string& sealed) {
  if (key.empty() || !SodiumReady()) return false;
  CipherKey k = DeriveCipherKey(key);
  std::array<unsigned char, crypto_generichash_BYTES> digest{};
  crypto_generichash(digest.data(), digest.size(), Bytes(plain), plain.size(), k.data(), k.size());
  sealed.assign(1 + kNonceBytes + plain.size() + kTagBytes, '\0');
  auto* out = reinterpret_cast<unsigned char*>(sealed.data());
  out[0] = kFormatVersion;
  std::copy_n(digest.begin(), kNonceBytes, out + 1);
  unsigned long long written = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(out + 1 + kNonceBytes, &written, Bytes(plain),
                                             plain.size(), nullptr, 0, nullptr, out + 1, k.data());
  sodium_memzero(k.data(), k.size());
  return true;
}

bool DecipherWithKey(std::string_view sealed, const TCryptKey& key, std::string& plain) {
  if (key.empty() || !SodiumReady()) return false;
  if (sealed.size() < 1 + kNonceBytes + kTagBytes) return false;
  const unsigned char* in = Bytes(sealed);
  if (in[0] != kFormatVersion) return false;
  CipherKey k = DeriveCipherKey(key);
  std::string opened(sealed.size() - 1 - kNonceBytes - kTagBytes, '\0');
  unsigned long long length = 0;
  int result = crypto_aead_xchacha20poly1305_ietf_decrypt(
      reinterpret_cast<unsigned char*>(opened.data()), &length, nullptr, in + 1 + kNonceBytes,
      sealed.size() - 1 - kNonceBytes, nullptr, 0, in + 1, k.data());
  sodium_memzero(k.data(), k.size());
  if (result != 0) return false;
  plain = std::move(opened);
  return true;
}

// The three escapes never overlap (each starts with the line feed and none yields one
// that is read again), so one pass gives what replacing them in turn would.
// Both copy the runs between escapes whole.
std::u16string EscapeValue(std::u16string_view value) {
  std::u16string text;
  text.reserve(value.size());
  std::size_t done = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (c != u'\n' && c != u'\r' && c != u'\t') continue;
    text.append(value.substr(done, i - done)).append(1, u'\n').append(1, c == u'\n' ? u'1' : c == u'\r' ? u'3' : u'2');
    done = i + 1;
  }
  return text.append(value.substr(done));
}

std::u16string UnescapeValue(std::u16string_view value) {
  std::u16string text;
  text.reserve(value.size());
  std::size_t done = 0;
  for (std::size_t i = 0; i + 1 < value.size(); ++i) {
    const char16_t next = value[i + 1];
    if (value[i] != u'\n' || (next != u'1' && next != u'2' && next != u'3')) continue;
    text.append(value.substr(done, i - done)).append(1, next == u'1' ? u'\n' : next == u'2' ? u'\t' : u'\r');
    done = i + 2;
    ++i;
  }
  return text.append(value.substr(done));
}

std::u16string NextToken(std::u16string_view text, int& pos, char16_t separator) {
  if (pos == 0) pos = 1;
  if (pos < 0 || static_cast<std::size_t>(pos) > text.size() + 1) {
    pos = -1;
    return {};
  }
  std::size_t start = static_cast<std::size_t>(pos - 1);
  std::size_t hit = text.find(separator, start);
  if (hit == std::u16string_view::npos) {
    pos = -1;
    return std::u16string(text.substr(start));
  }
  pos = static_cast<int>(hit + 2);
  return std::u16string(text.substr(start, hit - start));
}

void SplitNameValue(std::u16string_view token, char16_t separator, std::u16string& name,
                    std::u16string& value) {
  std::size_t hit = token.find(separator);
  name = token.substr(0, hit);
  value = hit == std::u16string_view::npos ? std::u16string() : std::u16string(token.substr(hit + 1));
}
