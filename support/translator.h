// The translator: every text the user sees is written in English and passes through
// one program-wide translator, which answers it in the active language. A language's
// texts come in a language pack, a cabinet holding info.ini (what the language is) and
// language.ini (the texts, found under the hash of the lower-cased English text or
// under an explicit section and key). Packs lie in the pack folder; the active one is
// extracted into the active-language folder; packs the program carries as data
// resources (listed by its pack-list resource) are first written into the pack folder.
// The registry keeps the chosen language, the extracted pack's version, and a cache of
// what each pack file holds.
//
// Nothing here raises to its caller: failures answer false, an empty value or English.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "support/locks.h"

// The sections of an ini text with their entries; names compare without case.
class TIniTexts {
 public:
  // Lines stripped of blanks and control characters at both ends; empty lines and
  // lines starting with ";" skipped; "[name]" opens a section; "name=value" inside a
  // section (both stripped again); lines before the first section ignored.
  void SetText(const std::string& text);
  void Clear() { sections_.clear(); }
  bool Empty() const { return sections_.empty(); }
  // Empty when absent.
  std::string Value(const std::string& section, const std::string& name) const;

 private:
  std::map<std::string, std::map<std::string, std::string>> sections_;  // by upper-cased names
};

struct TLangInfo {
  std::string FileName;  // pack file in PackDir; empty for the built-in English entry
  std::string LongName;
  std::string ShortName;
  std::string Version;
  bool UTF8 = false;
  std::int32_t SortID = 0;
};

// One for the whole program (Translator()). Configured at start, then InitLang and
// LoadLanguage; afterwards Texts is only read, from any thread.
class TTranslator2 {
 public:
  TTranslator2();

  std::string ReadSetting(const std::string& name, const std::string& defaultValue, bool useUserRoot);
  bool WriteSetting(const std::string& name, const std::string& value, bool useUserRoot);
  const TLangInfo* GetLangInfo(int index) const;
  void SetTexts(const std::string& text);
  bool LoadTextFile(const std::string& fileName);
  void InitLang();
  void LoadLanguage();
  bool SetLangID(int index);
  bool SetLangByName(const std::string& name);
  void SetDefaultLanguage();

  std::int32_t LangIndex = -1;
  TIniTexts Texts;
  std::vector<TLangInfo> Languages;
  bool TextsLoaded = false;
  bool ShowHash = false;
  bool TraceMode = false;
  bool OwnPacks = false;
  bool InitBusy = false;
  bool SetBusy = false;
  std::string UserKey;
  std::string MachineKey;
  std::string PackDir;  // ends in a backslash
  std::string LangDir;  // ends in a backslash
  std::string Prefix;
  std::string PackListName = "VERSIONS_TXT";
  std::vector<std::pair<std::string, std::string>> PackList;  // name=version lines

 private:
  // Reads the pack-list resource into PackList; true (and OwnPacks) when the program
  // carries one.
  bool LoadPackList();
  // Writes each carried pack of this program into PackDir unless the file there has
  // the listed version.
  void WriteCarriedPacks();
  void AddPackFile(const std::string& fileName, support::TMutex& mutex);
  std::string PackListVersion(const std::string& resourceName) const;
  bool ExtractPack(const TLangInfo& entry, int index, support::TMutex& mutex);
};

TTranslator2& Translator();

// The hash under which language.ini keeps a text: h := 1, then for every byte
// h := h * 0x5517E877 xor T[byte] (32 bits), after ANSI lower-casing when lowerFirst.
std::uint32_t HashText(const std::string& text, bool lowerFirst);

// "#61" to "=", "#13" to CR, "#10" to LF, "#35" to "#", in that order.
std::string UnescapeText(const std::string& s);

// True when the language holds the text; value is the translation (UTF-8, possibly
// with the key in front in ShowHash mode) or the text itself.
bool _Translate(const std::string& text, const std::string& key, std::string& value);
// The translation decoded from UTF-8, else the English text from the ANSI code page.
std::u16string Translate(const std::string& text, const std::string& key = "");
// The translation in the ANSI code page, else the text unchanged.
std::string TranslateA(const std::string& text, const std::string& key = "");
std::string _TranslateOld(const std::string& text);

// The user locale's two-letter ISO 639 language and ISO 3166 country; language "EN"
// (and country unchanged) when either is not two letters.
void GetUserLocaleNames(std::string& country, std::string& language);
