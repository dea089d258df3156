#include "support/translator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/base/text.h"
#include "platform/fs/entries.h"
#include "platform/fs/find.h"
#include "platform/kernel/debug_output.h"
#include "platform/kernel/registry.h"
#include "support/archives.h"
#include "support/files_folders.h"
#include "support/registry_access.h"
#include "support/resource_files.h"

namespace {

// The text hash table: constant data shared with the language-pack builder. Frozen:
// every language pack ever written depends on these values.
constexpr std::uint32_t kHashTable[256] = {
    0x1C168B58, 0x684CC31B, 0x95A47039, 0x7A25C7F8, 0xC6A6F0CA, 0x0E4A0158,
    0x8DE8FDFE, 0x120F540F, 0x030236A0, 0x2884900E, 0x0D774062, 0xECB187BE,
    0xA56719F7, 0xEDD0F887, 0xC758159E, 0xEAAB4E87, 0x24CC987E, 0x55A0FB8D,
    0x078D8F5C, 0x7B5B7BD4, 0x1D4833A2, 0x8B49DF0D, 0x7434BB05, 0x1D7E2E7E,
    0x5947A571, 0x95502D25, 0x8F532241, 0x0D4EEE06, 0x53275345, 0x1033C7EA,
    0x00FEF8C5, 0xFE1D5DBA, 0xF4835BC4, 0x3AEE0F10, 0x993DB961, 0x8FC56919,
    0xBC2AC84F, 0xA671DA81, 0xCC5AF733, 0x58E21C85, 0xCDD70491, 0xC73A4303,
    0xB5A0790F, 0x77F7242E, 0xBD103F1C, 0xFC2030F6, 0x51846B76, 0xA24D931C,
    0x35A4F8D6, 0x19B57665, 0x0AA14049, 0xE7B01F85, 0xAAFA924E, 0xBE3B35C5,
    0x6AB006C4, 0x70ED5E4A, 0x157FAA94, 0x4435BDE0, 0x1D44E60E, 0x9BDB3ECE,
    0xDA4E6F22, 0x1B44BCAE, 0x8F27FEF6, 0x3D808333, 0xE30DDA9F, 0x04FEBFCF,
    0x067F2A08, 0x8CF266D7, 0xBD1F59C7, 0xC31A4BE6, 0x2C0EAF3E, 0x0A36B446,
    0x3ECFCB40, 0x047C2953, 0xA3F07A2D, 0xD4594B85, 0x1F842AA6, 0x31B9EBBD,
    0x4F76B46E, 0xB6AA2063, 0xAF9CC07B, 0x63653473, 0xBC606A9C, 0xEC202905,
    0x581103F4, 0x67735B3F, 0x56457D17, 0x38F213B7, 0xE2349D69, 0x3B830F9C,
    0x1449057C, 0x801A4A3D, 0xA9CD2597, 0x8EAD776E, 0x5C3D801A, 0xB5D382D7,
    0xBF049C3E, 0x9A712CA1, 0x8A3D229A, 0xF2B3C062, 0x55108BDE, 0x894C108E,
    0xEF8B3CEF, 0x17F49863, 0x362047D7, 0x98C76FD1, 0xE318AE8B, 0xE102B158,
    0xF61296AF, 0x4ACEAE4E, 0x31601754, 0xBC81007B, 0x95BCF9E7, 0x5C7D7562,
    0x3FF05EE1, 0x4FD92355, 0x35500417, 0x794AD319, 0x8A807BF0, 0x42B22977,
    0xA47403BF, 0x6E5711F2, 0x6855AA97, 0x72EF1FBB, 0xC1BC37F4, 0xBEEB9394,
    0x5BEB1D23, 0x93917478, 0x68B8C722, 0x2DB8BE29, 0x1F223886, 0x6DE2D01A,
    0xDD812180, 0x07F2EB4A, 0x55CE8729, 0xFE89D3FE, 0xC127DF15, 0xE0AF6456,
    0xE17B36D8, 0x02C8499F, 0x25FD496E, 0xE8B64A0E, 0x7169E5D9, 0xF9AC1CA7,
    0xEC6F0D55, 0x01DF79D3, 0xF7469894, 0xC8E9C984, 0x9E0DA61E, 0xD578A927,
    0xD121D660, 0x7ED2F0B7, 0xA68297C9, 0x6B015A28, 0x8BBF3CD7, 0xC464A8C2,
    0x1A6CB6E4, 0xB8634B33, 0x9BDE4474, 0x1E9E7E8E, 0xD845D1C0, 0x19EF7364,
    0x98315BBE, 0xF5EF7A02, 0x0D2B2013, 0x95E09F43, 0x4CF98E57, 0xEA358F30,
    0x9346820E, 0xE541B4C7, 0x4E99506A, 0xF0D10A34, 0x3CE93D53, 0x93094294,
    0xC62D9B1D, 0x985A7C80, 0x45C59D58, 0xF373E15C, 0x1F4F9515, 0xBA983287,
    0xCE44F952, 0x4E93ED13, 0x4529C214, 0x96ED8DAF, 0x2A43716D, 0x14A9AE61,
    0xC77F364A, 0x49021041, 0x4224657C, 0xA0F1FFF7, 0x88365C54, 0x672E3737,
    0x9880AF9A, 0xD03C94AA, 0xD7A5548C, 0x8B16E320, 0xF1411139, 0x29A6F378,
    0x3B8F2EF6, 0x910EB3AA, 0xB46487FC, 0x86A230BD, 0xEDEB28AE, 0xB8B403A1,
    0xE644C8C2, 0x322ED523, 0x61167FF2, 0xA385A8BB, 0xFDA8B50E, 0xC280B61B,
    0x0E16DF3F, 0xDE12F815, 0x0D8C4446, 0xC6D6254B, 0x0B4A33D2, 0xF5CDAE61,
    0x31F00320, 0x7D220886, 0xB62E7A78, 0x7A98E863, 0xE0ED5FD4, 0x640DFCA1,
    0xC121F0ED, 0xC740D95A, 0xE25DBCC6, 0x9399E376, 0x76DC051D, 0x8448E7F2,
    0x4CE12D3C, 0x032DFDFE, 0x1EEC16D2, 0xF7363EE0, 0xBC7AC215, 0xA4FF12CE,
    0x357D63EB, 0x2B027F8A, 0x9F823F31, 0x3880CF11, 0x1D5B817A, 0x0D30E922,
    0x81083CDA, 0x5DBA62DF, 0xDAEB6485, 0x5F983FEB, 0x94E7FA1F, 0xB09FB46E,
    0x96211288, 0x34AD2CBA, 0x9E0041E4, 0x1EF37F31, 0x76BAEED9, 0x4BB48264,
    0xAA58AD48, 0xCE560EE0, 0x3B20FCE2, 0x1E2D2FAD,
};

constexpr std::uint32_t kHashMultiplier = 0x5517E877;
constexpr std::chrono::milliseconds kMutexWait{10000};
constexpr std::int32_t kUncachedSortID = 200;
constexpr std::int32_t kDefaultSortID = 100;
const char* const kDefaultVersion = "1.0.0.0";

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string Strip(const std::string& text) {
  std::size_t start = 0, end = text.size();
  while (start < end && IsBlankOrControl(text[start])) ++start;
  while (end > start && IsBlankOrControl(text[end - 1])) --end;
  return text.substr(start, end - start);
}

std::string Upper(const std::string& text) { return platform::AnsiUpperCase(text); }

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

TLangInfo BuiltInEnglish() { return TLangInfo{"", "English", "en", kDefaultVersion, false, 0}; }

bool ReadWholeFile(const std::string& name, std::string& bytes) {
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, 0);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  char buffer[65536];
  DWORD done = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &done, nullptr) != FALSE) && done > 0) bytes.append(buffer, done);
  CloseHandle(file);
  return ok;
}

// A decimal number, or the default when the text is none.
std::int32_t NumberOr(const std::string& text, std::int32_t fallback) {
  if (text.empty()) return fallback;
  std::size_t used = 0;
  try {
    long value = std::stol(text, &used);
    return used == text.size() ? static_cast<std::int32_t>(value) : fallback;
  } catch (const std::logic_error&) {
    return fallback;
  }
}

void Trace(const std::string& line) { OutputDebugStringA(line.c_str()); }

}  // namespace

// ---- ini texts ----

void TIniTexts::SetText(const std::string& text) {
  sections_.clear();
  std::map<std::string, std::string>* section = nullptr;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = Strip(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = &sections_[Upper(line.substr(1, line.size() - 2))];
      continue;
    }
    std::size_t equals = line.find('=');
    if (section == nullptr || equals == std::string::npos) continue;
    std::string name = Upper(Strip(line.substr(0, equals)));
    if (section->count(name) == 0) (*section)[name] = Strip(line.substr(equals + 1));
  }
}

std::string TIniTexts::Value(const std::string& section, const std::string& name) const {
  auto found = sections_.find(Upper(section));
  if (found == sections_.end()) return "";
  auto entry = found->second.find(Upper(name));
  return entry != found->second.end() ? entry->second : "";
}

// ---- free functions ----

std::uint32_t HashText(const std::string& text, bool lowerFirst) {
  std::string bytes = lowerFirst ? platform::AnsiLowerCase(text) : text;
  std::uint32_t hash = 1;
  for (unsigned char byte : bytes) hash = (hash * kHashMultiplier) ^ kHashTable[byte];
  return hash;
}

std::string UnescapeText(const std::string& s) {
  std::string text = s;
  ReplaceAll(text, "#61", "=");
  ReplaceAll(text, "#13", "\r");
  ReplaceAll(text, "#10", "\n");
  ReplaceAll(text, "#35", "#");
  return text;
}

bool _Translate(const std::string& text, const std::string& key, std::string& value) {
  value = text;
  if (text.empty()) return false;
  TTranslator2& translator = Translator();
  std::string section = "main", name = key;
  std::size_t dot = name.find('.');
  if (dot != std::string::npos) {
    section = name.substr(0, dot);
    name = name.substr(dot + 1);
  }
  if (name.empty()) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", HashText(text, true));
    name = hex;
  }
  std::string found = UnescapeText(translator.Texts.Value(section, name));
  if (translator.TraceMode) Trace("_Translate " + name + ", " + text + ", " + found);
  if (found.empty()) return false;
  value = translator.ShowHash ? name + "-" + found : found;
  return true;
}

std::u16string Translate(const std::string& text, const std::string& key) {
  std::string value;
  // A text the language lacks is English in the ANSI code page, never UTF-8.
  return _Translate(text, key, value) ? platform::Utf8ToWide(value) : platform::AnsiToWide(text);
}

std::string TranslateA(const std::string& text, const std::string& key) {
  std::string value;
  return _Translate(text, key, value) ? platform::Utf8ToAnsi(value) : text;
}

std::string _TranslateOld(const std::string& text) {
  if (Translator().TraceMode) Trace("_TranslateOld " + text);
  return text;
}

void GetUserLocaleNames(std::string& country, std::string& language) {
  char languageName[5] = {}, countryName[5] = {};
  int languageLength = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, languageName, 5);
  int countryLength = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, countryName, 5);
  if (languageLength == 3 && countryLength == 3) {
    language = languageName;
    country = countryName;
  } else {
    language = "EN";
  }
}

// ---- translator ----

TTranslator2& Translator() {
  static TTranslator2 translator;
  return translator;
}

TTranslator2::TTranslator2() = default;

std::string TTranslator2::ReadSetting(const std::string& name, const std::string& defaultValue, bool useUserRoot) {
  std::string value;
  if (!RegReadString(useUserRoot ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, useUserRoot ? UserKey : MachineKey, name,
                     value)) {
    return defaultValue;
  }
  return value;
}

bool TTranslator2::WriteSetting(const std::string& name, const std::string& value, bool useUserRoot) {
  RegWriteString(useUserRoot ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, useUserRoot ? UserKey : MachineKey, name,
                 value);
  return true;
}

const TLangInfo* TTranslator2::GetLangInfo(int index) const {
  return index >= 0 && index < static_cast<int>(Languages.size()) ? &Languages[static_cast<std::size_t>(index)]
                                                                   : nullptr;
}

void TTranslator2::SetTexts(const std::string& text) { Texts.SetText(text); }

bool TTranslator2::LoadTextFile(const std::string& fileName) {
  std::string bytes;
  if (!IsExistingFile(fileName) || !ReadWholeFile(fileName, bytes)) return false;
  SetTexts(bytes);
  return true;
}

std::string TTranslator2::PackListVersion(const std::string& resourceName) const {
  for (const auto& [name, version] : PackList) {
    if (Upper(name) == Upper(resourceName)) return version;
  }
  return "";
}

void TTranslator2::AddPackFile(const std::string& fileName, support::TMutex& mutex) {
  std::string name = fileName.substr(0, fileName.rfind('.'));
  std::string resourceName = name + "_CAB";
  std::string cache = "lng_" + name;
  TLangInfo info;
  info.FileName = fileName;
  info.ShortName = ReadSetting(cache + "_ShortName", "", false);
  info.LongName = ReadSetting(cache + "_LongName", "", false);
  info.UTF8 = ReadSetting(cache + "_UTF8", "1", false) != "0";
  info.Version = ReadSetting(cache + "_Version", "", false);
  info.SortID = NumberOr(ReadSetting(cache + "_SortID", "", false), kUncachedSortID);
  bool named = !info.ShortName.empty() && !info.LongName.empty();
  // Without a pack list (the program carries none) the names are read from the pack
  // once and cached, so that a pack dropped into the folder is listed.
  bool cached = PackList.empty() ? named
                                 : named && PackListVersion(resourceName) == info.Version &&
                                       info.SortID != kUncachedSortID;
  std::unique_lock<support::TMutex> hold(mutex, std::defer_lock);
  if (!cached && hold.try_lock_for(kMutexWait)) {
    TArchive archive(PackDir + fileName);
    std::string text;
    if (archive.DecompressToString("info.ini", text)) {
      TIniTexts ini;
      ini.SetText(text);
      info.ShortName = ini.Value("main", "ShortName");
      info.LongName = ini.Value("main", "LongName");
      info.UTF8 = NumberOr(ini.Value("main", "UTF8"), 1) != 0;
      info.SortID = NumberOr(ini.Value("main", "SortID"), kDefaultSortID);
      info.Version = PackListVersion(resourceName);
      if (info.Version.empty()) info.Version = kDefaultVersion;
      WriteSetting(cache + "_ShortName", info.ShortName, false);
      WriteSetting(cache + "_LongName", info.LongName, false);
      WriteSetting(cache + "_Version", info.Version, false);
      WriteSetting(cache + "_UTF8", info.UTF8 ? "1" : "0", false);
      WriteSetting(cache + "_SortID", std::to_string(info.SortID), false);
    }
    hold.unlock();  // the rest needs no other process kept out
  }
  if (info.ShortName.empty() || info.LongName.empty()) return;
  if (info.ShortName == "en") {
    Languages[0] = info;
  } else {
    Languages.push_back(info);
  }
}

bool TTranslator2::LoadPackList() {
  std::string text;
  if (!LoadResourceText("", PackListName, text)) return false;
  PackList.clear();
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
      PackList.emplace_back(line, "");
    } else {
      PackList.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
  }
  OwnPacks = true;
  return true;
}

namespace {

// The pack file a carried pack is written to: the resource name without "_CAB", and a
// four-letter language part split as a culture name (PX_enUS.cab becomes PX_en-US.cab).
std::string CarriedPackFile(const std::string& resourceName) {
  std::string file = resourceName;
  for (std::size_t at = Upper(file).find("_CAB"); at != std::string::npos; at = Upper(file).find("_CAB")) {
    file.erase(at, 4);
  }
  file += ".cab";
  std::size_t underscore = file.find('_');
  std::size_t dot = file.find('.');
  if (underscore != std::string::npos && dot == underscore + 5) file.insert(dot - 2, "-");
  return file;
}

}  // namespace

void TTranslator2::WriteCarriedPacks() {
  const std::string ownPrefix = Upper(Prefix + "_");
  for (const auto& [resourceName, listedVersion] : PackList) {
    if (Upper(resourceName).rfind(ownPrefix, 0) != 0) continue;
    const std::string version = listedVersion.empty() ? kDefaultVersion : listedVersion;
    const std::string file = CarriedPackFile(resourceName);
    const std::string name = file.substr(0, file.size() - 4);
    if (!IsExistingFile(PackDir + file) || ReadSetting("lng_" + name + "_Version", "", false) != version) {
      ExtractResourceToFile(PackDir + file, resourceName, true);
    }
  }
}

void TTranslator2::InitLang() {
  if (InitBusy || SetBusy) return;
  support::TMutex mutex("InitLang_SetLangID_" + Prefix);
  InitBusy = true;
  Languages.clear();
  Languages.push_back(BuiltInEnglish());
  if (LoadPackList() && !IsExistingDir(PackDir) && !ForceDirectoriesEx(PackDir, true)) {
    InitBusy = false;
    return;
  }
  WriteCarriedPacks();
  std::vector<std::string> files;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((PackDir + Prefix + "_*.cab").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) files.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  if (!files.empty()) {
    for (const std::string& file : files) AddPackFile(file, mutex);
    std::stable_sort(Languages.begin(), Languages.end(), [](const TLangInfo& a, const TLangInfo& b) {
      return a.SortID != b.SortID ? a.SortID < b.SortID : a.LongName < b.LongName;
    });
    std::string mode = ReadSetting("TransMode", "", true);
    ShowHash = mode == "ShowHash";
    TraceMode = mode == "ODS";
  }
  InitBusy = false;
}

bool TTranslator2::ExtractPack(const TLangInfo& entry, int index, support::TMutex& mutex) {
  std::unique_lock<support::TMutex> hold(mutex, kMutexWait);
  if (!hold.owns_lock()) return true;  // the step is skipped; loading goes on
  bool extracted = false;
  if (OwnPacks) {
    // Packs of our own are complete: nothing of an earlier language may stay behind.
    DeleteDirectoryTree(LangDir, false);
    ForceDirectoriesEx(LangDir, true);
  }
  if (!entry.FileName.empty() && IsExistingFile(PackDir + entry.FileName)) {
    TArchive archive(PackDir + entry.FileName);
    extracted = archive.DecompressToDir(LangDir, "", true);
  }
  if (extracted) {
    LangIndex = index;
    TextsLoaded = false;
  } else {
    LangIndex = 0;
  }
  return extracted;
}

bool TTranslator2::SetLangID(int index) {
  if (LangDir.empty() || InitBusy || SetBusy || GetLangInfo(index) == nullptr) return false;
  support::TMutex mutex("InitLang_SetLangID_" + Prefix);
  SetBusy = true;
  const TLangInfo entry = Languages[static_cast<std::size_t>(index)];
  bool result = true;
  if (entry.FileName.empty() && index == 0) {
    // Back to the built-in English: no pack, no texts, and the choice is kept.
    Texts.Clear();
    TextsLoaded = true;
    LangIndex = 0;
  } else {
    std::string currentShort;
    if (LangIndex == -1) {
      std::string info;
      if (ReadWholeFile(LangDir + "info.ini", info)) {
        TIniTexts ini;
        ini.SetText(info);
        currentShort = ini.Value("main", "ShortName");
      }
      LangIndex = index;
    } else if (const TLangInfo* current = GetLangInfo(LangIndex)) {
      currentShort = current->ShortName;
    }
    std::string extractedVersion = ReadSetting(Prefix + "_Language_Ver", "", true);
    bool upToDate = LangIndex == index && entry.Version == extractedVersion && currentShort == entry.ShortName &&
                    IsExistingFile(LangDir + "language.ini");
    if (!upToDate && !ExtractPack(entry, index, mutex)) result = false;
  }
  if (result) {
    if (!TextsLoaded && !LoadTextFile(LangDir + "language.ini")) {
      LangIndex = 0;
      Texts.Clear();
    }
    const TLangInfo& active = Languages[static_cast<std::size_t>(LangIndex)];
    WriteSetting("Language", active.ShortName, true);
    WriteSetting(Prefix + "_Language_Ver", active.Version, true);
    TextsLoaded = true;
  }
  SetBusy = false;
  return result;
}

bool TTranslator2::SetLangByName(const std::string& name) {
  for (std::size_t i = 0; i < Languages.size(); ++i) {
    if (Upper(Languages[i].ShortName) == Upper(name)) return SetLangID(static_cast<int>(i));
  }
  return false;
}

void TTranslator2::SetDefaultLanguage() {
  std::string country, language;
  GetUserLocaleNames(country, language);
  SetLangByName(language);
}

void TTranslator2::LoadLanguage() {
  std::string language = ReadSetting("Language", "", true);
  if (!language.empty()) {
    SetLangByName(language);
  } else {
    SetDefaultLanguage();
  }
}
