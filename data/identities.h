// Identities: named sets of KEY=value lines, each in a file of its own and optionally
// guarded by a password; the index of identities; the experience list of field names
// learnt from the user's own submissions; and the operations that create identity
// files and learn from a submitted form.
//
// Identity file "ident" + file number + ".pxd" (little-endian): Int32 magic
// 0x01DA4646, the check text (length-prefixed), Int32 line count, then each line as a
// length-prefixed 8-bit string, EncryptString of one KEY=value line with the built-in
// key. The check text is the default check text for an identity without password,
// else EncryptString of the verification phrase under the password's key: the values
// are always enciphered with the built-in key; the password only gates reading them.
//
// "identities.pxd" (magic 0x01DE4646) and "experience.pxd" hold an Int32 line count
// and the lines, each EncryptString of the line with the built-in key.
//
// Loads never leave a half-read list: a file that cannot be read whole (damaged,
// truncated, a line that does not decipher) changes nothing and answers false, and an
// object whose load failed never saves over that file. Saves rewrite the file whole
// and keep the previous one as ".bak".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "controls/unicode/uni_classes.h"
#include "data/crypt_wide.h"
#include "data/form_items.h"
#include "support/locks.h"

inline constexpr char kIdentitiesFile[] = "identities.pxd";
inline constexpr char kExperienceFile[] = "experience.pxd";
// The experience file is written with the magic of the identity index; files with
// the other magic that was once expected on reading are read too.
inline constexpr std::int32_t kExperienceMagic = 0x01DE4646;
inline constexpr std::int32_t kExperienceOtherMagic = 0x0FE44646;

// One identity. Created, used and freed by one owner (the data start-up for the active
// identity, the identity windows for others); its operations take its own lock, which
// the same thread may take again.
class TIdentity {
 public:
  explicit TIdentity(std::string filePath);
  virtual ~TIdentity() = default;
  TIdentity(const TIdentity&) = delete;
  TIdentity& operator=(const TIdentity&) = delete;

  // Reads the file. False when FilePath is empty, the file is missing or cannot be read
  // whole, or the identity has a password and Password is empty or not it: then no
  // value is read.
  bool LoadFromFile(std::u16string_view password);
  // Rewrites the file; an empty CheckText becomes the default check text first. False
  // when FilePath is empty, the last load failed, or the file could not be written.
  bool SaveToFile();

  // The value of the upper-cased key; empty when absent.
  std::u16string GetValue(std::u16string_view key);
  // Replaces the value of the upper-cased key (an empty value removes the line), or
  // appends KEY=Value when there is no such line.
  void SetValue(std::u16string_view key, std::u16string_view value);
  // Key = the key of the first line whose value equals Value exactly, else empty.
  void FindKeyByValue(std::u16string_view value, std::u16string& key);
  // False for the composite keys NAME, BIRTHDATE, SSN, PHONE, CCEXPDATE, CCVALID and
  // VALUE (compared upper-cased).
  static bool IsSimpleKey(std::u16string_view key);

  void Lock();
  void Unlock();
  // The standard names, for std::scoped_lock.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

  TWideCrypt Crypt{true};
  std::string FilePath;
  std::string CheckText;
  TUniStringList Values;
  DWORD LastAccess = 0;

 private:
  bool ReadFile(std::u16string_view password, TUniStringList& values, std::string& checkText);

  support::TCriticalSection lock_;
  bool loadFailed_ = false;
};

// The index of identities: Name=NNN lines, NNN the file number; a name starting with
// "#" marks an identity with a password. No lock: users take the data lock.
class TIdentities {
 public:
  TIdentities() = default;
  TIdentities(const TIdentities&) = delete;
  TIdentities& operator=(const TIdentities&) = delete;

  // True when the file was read whole or does not exist.
  bool LoadFromFile();
  bool SaveToFile();
  // The name of line Index without a leading "#"; empty when out of range.
  std::u16string GetName(int index) const;
  // The name (as stored) of the line whose file number is FileNo; empty when none.
  std::u16string NameOfFile(std::u16string_view fileNo) const;
  // The file number of line Index; empty when out of range.
  std::u16string FileNo(int index) const;
  // The line of FileNo becomes NewName=FileNo, keeping a leading "#".
  void Rename(std::u16string_view fileNo, std::u16string_view newName);
  int IndexOfFile(std::u16string_view fileNo) const;

  TUniStringList Lines;
  DWORD LastAccess = 0;

 private:
  TWideCrypt crypt_{true};
  bool loadFailed_ = false;
};

// The field names learnt for each identity key: KEY=name;name;... lines. No lock:
// users take the data lock.
class TExperience {
 public:
  TExperience() = default;
  TExperience(const TExperience&) = delete;
  TExperience& operator=(const TExperience&) = delete;

  bool LoadFromFile();
  bool SaveToFile();
  // Adds Name and ID (case-sensitive, when not yet known for the key here or in the
  // field dictionary) to the key's line; true when something was added.
  bool AddFieldNames(std::u16string_view key, std::u16string_view name, std::u16string_view id);
  // Adds to Target one name=KEY line for every name of the field dictionary and then
  // of this list.
  void FillFieldMap(TUniStringList* target) const;

  TUniStringList Lines;

 private:
  TWideCrypt crypt_{true};
  bool loadFailed_ = false;
};

// Program-wide objects: the index and the experience list exist after the data
// start-up, the active identity once one was opened.
extern std::unique_ptr<TIdentities> Identities;
extern std::unique_ptr<TExperience> Experience;
extern std::unique_ptr<TIdentity> ActiveIdentity;

// The upper-case hexadecimal text of N with at least three digits.
std::u16string IdentityFileNo(unsigned n);
// The identity file's path in the data folder.
std::string IdentityFilePath(std::u16string_view fileNo);

// Creates the file of a new identity under the first free file number and lists it in
// the index (saved). False, with nothing left behind, when the index does not exist,
// the name is empty, holds "=", CR or LF, or starts with "#", or a file cannot be saved.
bool CreateIdentityFile(std::u16string_view name, std::u16string_view password, std::u16string& fileNo);
// Teaches the experience list the names and ids of submitted fields whose values are
// values of the active identity; saves it when a value was found.
void LearnIdentityFieldNames(const TFormFieldList& fields);
// True when a field with a simple identity key carries a value the active identity
// lacks; with Store the values are set into the identity, which is then saved.
bool CheckNewIdentityValues(const TFormFieldList& fields, bool store);
