#include "platform/classlib/strings.h"

#include <cstring>
#include <vector>

#include "platform/base/text.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/streams.h"

namespace {

int CompareWithoutCase(const std::string& a, const std::string& b) {
  return platform::CompareText(platform::AnsiToWide(a), platform::AnsiToWide(b), true);
}

int CompareWithoutCase(const std::u16string& a, const std::u16string& b) { return platform::CompareText(a, b, true); }

// The list's text as bytes on a stream, and back: 8-bit text as it is, wide text as
// UTF-16LE.
std::string TextBytes(const std::string& text) { return text; }
std::string TextBytes(const std::u16string& text) { return platform::WideToUtf16Le(text); }
void TextFromBytes(const std::string& bytes, std::string& text) { text = bytes; }
void TextFromBytes(const std::string& bytes, std::u16string& text) { text = platform::Utf16LeToWide(bytes); }

}  // namespace

template <typename S>
TObject* TBasicStrings<S>::GetObject(int /*index*/) const {
  return nullptr;
}

template <typename S>
void TBasicStrings<S>::PutObject(int /*index*/, TObject* /*object*/) {}

template <typename S>
void TBasicStrings<S>::Put(int index, const String& s) {
  TObject* object = GetObject(index);
  Delete(index);
  InsertObject(index, s, object);
}

template <typename S>
int TBasicStrings<S>::CompareStrings(const String& a, const String& b) const {
  return CompareWithoutCase(a, b);
}

template <typename S>
int TBasicStrings<S>::Add(const String& s) {
  const int index = GetCount();
  Insert(index, s);
  return index;
}

template <typename S>
int TBasicStrings<S>::AddObject(const String& s, TObject* object) {
  const int index = Add(s);
  PutObject(index, object);
  return index;
}

template <typename S>
void TBasicStrings<S>::Exchange(int index1, int index2) {
  TStringsUpdate<S> update(*this);
  TObject* object = GetObject(index1);
  String text = Get(index1);
  Put(index1, Get(index2));
  PutObject(index1, GetObject(index2));
  Put(index2, text);
  PutObject(index2, object);
}

template <typename S>
int TBasicStrings<S>::IndexOf(const String& s) const {
  for (int i = 0; i < GetCount(); ++i) {
    if (CompareStrings(Get(i), s) == 0) return i;
  }
  return -1;
}

template <typename S>
int TBasicStrings<S>::IndexOfName(const String& name) const {
  for (int i = 0; i < GetCount(); ++i) {
    const String line = Get(i);
    const auto separator = line.find(NameValueSeparator);
    if (separator != String::npos && CompareStrings(line.substr(0, separator), name) == 0) return i;
  }
  return -1;
}

template <typename S>
void TBasicStrings<S>::InsertObject(int index, const String& s, TObject* object) {
  Insert(index, s);
  PutObject(index, object);
}

template <typename S>
int TBasicStrings<S>::IndexOfObject(const TObject* object) const {
  for (int i = 0; i < GetCount(); ++i) {
    if (GetObject(i) == object) return i;
  }
  return -1;
}

template <typename S>
S TBasicStrings<S>::Text() const {
  String text;
  for (int i = 0; i < GetCount(); ++i) {
    text += Get(i);
    text += Char('\r');
    text += Char('\n');
  }
  return text;
}

template <typename S>
void TBasicStrings<S>::SetText(const String& text) {
  TStringsUpdate<S> update(*this);
  Clear();
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = at;
    while (end < text.size() && text[end] != Char('\r') && text[end] != Char('\n')) ++end;
    Add(text.substr(at, end - at));
    if (end < text.size() && text[end] == Char('\r')) ++end;
    if (end < text.size() && text[end] == Char('\n')) ++end;
    at = end;
  }
}

template <typename S>
S TBasicStrings<S>::Names(int index) const {
  const String line = Get(index);
  const auto separator = line.find(NameValueSeparator);
  return separator == String::npos ? String() : line.substr(0, separator);
}

template <typename S>
S TBasicStrings<S>::Values(const String& name) const {
  const int index = IndexOfName(name);
  if (index < 0) return String();
  const String line = Get(index);
  return line.substr(line.find(NameValueSeparator) + 1);
}

template <typename S>
void TBasicStrings<S>::SetValues(const String& name, const String& value) {
  int index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  String line = name;
  line += NameValueSeparator;
  line += value;
  if (index < 0) {
    Add(line);
  } else {
    Put(index, line);
  }
}

template <typename S>
void TBasicStrings<S>::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

template <typename S>
void TBasicStrings<S>::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

template <typename S>
void TBasicStrings<S>::Assign(const TBasicStrings& source) {
  if (&source == this) return;
  TStringsUpdate<S> update(*this);
  Clear();
  NameValueSeparator = source.NameValueSeparator;
  AddStrings(source);
}

template <typename S>
void TBasicStrings<S>::AddStrings(const TBasicStrings& source) {
  TStringsUpdate<S> update(*this);
  const int count = source.GetCount();
  for (int i = 0; i < count; ++i) AddObject(source.Get(i), source.GetObject(i));
}

template <typename S>
void TBasicStrings<S>::LoadFromStream(TStream& stream) {
  TStringsUpdate<S> update(*this);
  const std::int64_t size = stream.Size() - stream.Position();
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  stream.ReadBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  String text;
  TextFromBytes(bytes, text);
  SetText(text);
}

template <typename S>
void TBasicStrings<S>::SaveToStream(TStream& stream) const {
  const std::string bytes = TextBytes(Text());
  stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

template <typename S>
void TBasicStrings<S>::Error(std::string_view message, int index) {
  throw EStringListError(message, {std::to_string(index)});
}

template class TBasicStrings<std::string>;
template class TBasicStrings<std::u16string>;
