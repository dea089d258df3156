#include "tools/langpack/language_pack_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "platform/base/text.h"
#include "platform/cab/fci.h"
#include "platform/fs/files.h"
#include "support/translator.h"

namespace langpack {
namespace {

// The escapes the translator undoes, "#" first so that the others stay intact.
std::string Escape(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
      out += "#10";
      ++i;
    } else if (c == '#') {
      out += "#35";
    } else if (c == '=') {
      out += "#61";
    } else if (c == '\r') {
      out += "#13";
    } else if (c == '\n') {
      out += "#10";
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// ---- cabinet writing through the FCI callbacks ----

struct Sources {
  std::map<std::string, std::string> files;  // name -> bytes
  std::map<INT_PTR, std::pair<std::string, std::size_t>> reading;
};

void* Alloc(ULONG cb) { return std::malloc(cb); }
void Free(void* memory) { std::free(memory); }
int Placed(PCCAB, char*, LONG, BOOL, void*) { return 0; }
INT_PTR Open(char* file, int oflag, int, int* err, void*) {
  DWORD creation = (oflag & _O_CREAT) != 0 ? CREATE_ALWAYS : OPEN_EXISTING;
  HANDLE handle = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, 0);
  if (handle == INVALID_HANDLE_VALUE) *err = static_cast<int>(GetLastError());
  return handle;
}
UINT Read(INT_PTR hf, void* memory, UINT cb, int*, void* pv) {
  auto& reading = static_cast<Sources*>(pv)->reading.at(hf);
  std::size_t count = std::min<std::size_t>(cb, reading.first.size() - reading.second);
  reading.first.copy(static_cast<char*>(memory), count, reading.second);
  reading.second += count;
  return static_cast<UINT>(count);
}
UINT Write(INT_PTR hf, void* memory, UINT cb, int* err, void*) {
  DWORD done = 0;
  if (!WriteFile(hf, memory, cb, &done, nullptr)) *err = static_cast<int>(GetLastError());
  return done;
}
int Close(INT_PTR hf, int*, void* pv) {
  if (static_cast<Sources*>(pv)->reading.erase(hf) != 0) return 0;
  return CloseHandle(hf) ? 0 : -1;
}
LONG Seek(INT_PTR hf, LONG distance, int origin, int*, void*) {
  return static_cast<LONG>(SetFilePointer(hf, distance, nullptr, static_cast<DWORD>(origin)));
}
int Delete(char*, int*, void*) { return -1; }
BOOL TempFile(char*, int, void*) { return FALSE; }
BOOL NextCabinet(PCCAB, ULONG, void*) { return FALSE; }
LONG Status(UINT, ULONG, ULONG, void*) { return 0; }
// The sources are the texts in memory; the "handle" is a small number of our own.
INT_PTR OpenInfo(char* name, WORD* date, WORD* time, WORD* attribs, int*, void* pv) {
  auto* sources = static_cast<Sources*>(pv);
  INT_PTR handle = 0x40000000 + static_cast<INT_PTR>(sources->reading.size());
  sources->reading[handle] = {sources->files.at(name), 0};
  *date = 0x5B8A;  // packs carry a fixed date, so that a rebuilt pack is byte-identical
  *time = 0;
  *attribs = _A_ARCH;
  return handle;
}

}  // namespace

bool ParseTable(const std::string& table, BuiltPack& pack, std::string& error) {
  std::map<std::string, std::string> info;
  std::map<std::string, std::vector<std::string>> sections;  // section -> "name=value" lines
  bool inHeader = true;
  int number = 0;
  for (const std::string& line : Lines(table)) {
    ++number;
    if (inHeader) {
      if (line.empty()) {
        inHeader = false;
      } else if (line[0] != '#') {
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
          error = "line " + std::to_string(number) + ": expected Name=value";
          return false;
        }
        info[line.substr(0, equals)] = line.substr(equals + 1);
      }
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) {
      error = "line " + std::to_string(number) + ": expected English<TAB>translation";
      return false;
    }
    std::string english = line.substr(0, tab), translation = Escape(line.substr(tab + 1));
    std::string section = "main", name;
    if (english[0] == '@' && english.find('.') != std::string::npos) {
      section = english.substr(1, english.find('.') - 1);
      name = english.substr(english.find('.') + 1);
    } else {
      char hex[9];
      std::snprintf(hex, sizeof hex, "%08X", HashText(platform::Utf8ToAnsi(english), true));
      name = hex;
    }
    sections[section].push_back(name + "=" + translation);
  }
  if (info["ShortName"].empty() || info["LongName"].empty()) {
    error = "the table names no ShortName and LongName";
    return false;
  }
  pack.infoIni = "[main]\r\n";
  for (const char* key : {"ShortName", "LongName", "UTF8", "SortID"}) {
    if (info.count(key) != 0) pack.infoIni += std::string(key) + "=" + info[key] + "\r\n";
  }
  pack.languageIni.clear();
  for (const auto& [section, entries] : sections) {
    pack.languageIni += "[" + section + "]\r\n";
    for (const std::string& entry : entries) pack.languageIni += entry + "\r\n";
  }
  return true;
}

bool WritePack(const BuiltPack& pack, const std::string& cabinetFile, std::string& error) {
  Sources sources;
  sources.files = {{"info.ini", pack.infoIni}, {"language.ini", pack.languageIni}};
  CCAB ccab{};
  std::size_t split = cabinetFile.find_last_of("\\/");
  std::string folder = split == std::string::npos ? "" : cabinetFile.substr(0, split + 1);
  std::string name = cabinetFile.substr(split == std::string::npos ? 0 : split + 1);
  if (folder.size() >= sizeof ccab.szCabPath || name.size() >= sizeof ccab.szCab) {
    error = "the cabinet's name is too long";
    return false;
  }
  folder.copy(ccab.szCabPath, folder.size());
  name.copy(ccab.szCab, name.size());
  ERF erf{};
  HFCI fci = FCICreate(&erf, Placed, Alloc, Free, Open, Read, Write, Close, Seek, Delete, TempFile, &ccab, &sources);
  bool written = fci != nullptr;
  for (const char* file : {"info.ini", "language.ini"}) {
    std::string source = file, stored = file;
    written = written && FCIAddFile(fci, source.data(), stored.data(), FALSE, NextCabinet, Status, OpenInfo,
                                    tcompTYPE_MSZIP);
  }
  written = written && FCIFlushCabinet(fci, FALSE, NextCabinet, Status);
  if (fci != nullptr) FCIDestroy(fci);
  if (!written) error = "the cabinet could not be written (cabinet error " + std::to_string(erf.erfOper) + ")";
  return written;
}

}  // namespace langpack
