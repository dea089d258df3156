// Key material and deciphered passwords: held in a text that is wiped when it is
// released or replaced, and compared in constant time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

// Overwrites Size bytes at Data with zeros in a way the compiler cannot drop.
void WipeBytes(void* data, std::size_t size);
// True when A and B hold the same bytes; the time taken does not depend on where
// they differ (only on the length).
bool SameBytes(std::string_view a, std::string_view b);

// Owns its text; moves leave the source wiped, copies are not made.
template <typename Text>
class TSecure {
 public:
  TSecure() = default;
  explicit TSecure(Text text) : text_(std::move(text)) {}
  ~TSecure() { Wipe(); }
  TSecure(const TSecure&) = delete;
  TSecure& operator=(const TSecure&) = delete;
  TSecure(TSecure&& other) noexcept : text_(other.text_) { other.Wipe(); }
  TSecure& operator=(TSecure&& other) noexcept {
    if (this != &other) {
      Wipe();
      text_ = other.text_;
      other.Wipe();
    }
    return *this;
  }

  const Text& Get() const { return text_; }
  Text& Get() { return text_; }
  bool empty() const { return text_.empty(); }
  std::size_t size() const { return text_.size(); }

  void Wipe() {
    WipeBytes(text_.data(), text_.size() * sizeof(typename Text::value_type));
    text_.clear();
  }

 private:
  Text text_;
};

// A password, or a key text of one character per key byte.
using TSecureText = TSecure<std::u16string>;
// Raw key bytes.
using TSecureBytes = TSecure<std::string>;
