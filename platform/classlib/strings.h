// The class library's abstract string lists: TStrings holds 8-bit strings (ANSI code
// page), TWideStrings wide ones. Both share one template: a list of strings with an
// object beside each, the text of the list (lines ending in CR LF), name=value
// access, an update count, and loading and saving through streams. Descendants
// supply the storage.
#pragma once

#include <string>
#include <string_view>

#include "platform/classlib/object.h"

class TStream;

template <typename S>
class TBasicStrings : public TObject {
 public:
  using String = S;
  using Char = typename S::value_type;

  // The storage every descendant supplies.
  virtual String Get(int index) const = 0;
  virtual int GetCount() const = 0;
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual void Insert(int index, const String& s) = 0;

  // Defaults that descendants may replace: no objects, no capacity, Put as delete and
  // insert keeping the object, Exchange through Put.
  virtual TObject* GetObject(int index) const;
  virtual void PutObject(int index, TObject* object);
  virtual void Put(int index, const String& s);
  virtual int GetCapacity() const { return GetCount(); }
  virtual void SetCapacity(int /*capacity*/) {}
  virtual void SetUpdateState(bool /*updating*/) {}
  // Negative, zero or positive; without case, in the locale's order.
  virtual int CompareStrings(const String& a, const String& b) const;
  virtual int Add(const String& s);
  virtual int AddObject(const String& s, TObject* object);
  virtual void Exchange(int index1, int index2);
  virtual int IndexOf(const String& s) const;
  virtual int IndexOfName(const String& name) const;
  virtual void InsertObject(int index, const String& s, TObject* object);

  int Count() const { return GetCount(); }
  String Strings(int index) const { return Get(index); }
  TObject* Objects(int index) const { return GetObject(index); }
  int IndexOfObject(const TObject* object) const;

  // Every string followed by CR LF; setting it splits at CR, LF or CR LF (a final
  // line break gives no empty last string).
  String Text() const;
  virtual void SetText(const String& text);

  // Name=value lines: the name before the first separator, the value after it.
  String Names(int index) const;
  String Values(const String& name) const;
  // A non-empty value replaces or appends the line; an empty one deletes it.
  void SetValues(const String& name, const String& value);
  Char NameValueSeparator = Char('=');

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  void Assign(const TBasicStrings& source);
  void AddStrings(const TBasicStrings& source);

  // The list's text as bytes: the 8-bit text as it is, wide text as UTF-16LE.
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream) const;

 protected:
  // Raises EStringListError with the text, "%d" filled with the index.
  [[noreturn]] static void Error(std::string_view message, int index);

 private:
  int updateCount_ = 0;
};

// Holds the update of a list for one scope.
template <typename S>
class TStringsUpdate {
 public:
  explicit TStringsUpdate(TBasicStrings<S>& list) : list_(list) { list_.BeginUpdate(); }
  ~TStringsUpdate() { list_.EndUpdate(); }
  TStringsUpdate(const TStringsUpdate&) = delete;
  TStringsUpdate& operator=(const TStringsUpdate&) = delete;

 private:
  TBasicStrings<S>& list_;
};

extern template class TBasicStrings<std::string>;
extern template class TBasicStrings<std::u16string>;

using TStrings = TBasicStrings<std::string>;
using TWideStrings = TBasicStrings<std::u16string>;
