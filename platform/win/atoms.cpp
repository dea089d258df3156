#include "platform/win/atoms.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/file_lock.h"
#include "platform/base/state_root.h"
#include "platform/base/text.h"

namespace {

constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kMaxAtoms = 0x10000 - MAXINTATOM;

// The table as this process last read it; the file under the state root is the truth.
struct AtomTable {
  std::mutex lock;
  std::vector<std::u16string> names;  // index i is atom MAXINTATOM + i
  std::unordered_map<std::u16string, ATOM> byKey;  // upper-cased name -> atom
  std::unordered_map<ATOM, int> references;
};

AtomTable& Table() {
  static AtomTable table;
  return table;
}

std::filesystem::path TableFile() {
  auto root = platform::StateRoot();
  return root.empty() ? root : root / "atoms.txt";
}

void Remember(AtomTable& table, const std::u16string& name) {
  ATOM atom = static_cast<ATOM>(MAXINTATOM + table.names.size());
  table.names.push_back(name);
  table.byKey.emplace(platform::UpperCase(name), atom);
}

// Reads names the file has beyond those already known (the file only grows).
void Reload(AtomTable& table, const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  std::size_t index = 0;
  while (std::getline(in, line)) {
    if (index++ < table.names.size()) continue;
    Remember(table, platform::Utf8ToWide(line));
  }
}

bool WriteTable(const AtomTable& table, const std::filesystem::path& file) {
  auto temp = file;
  temp += ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::string text;
  for (const auto& name : table.names) text += platform::WideToUtf8(name) + "\n";
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
            ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  return ok && std::rename(temp.c_str(), file.c_str()) == 0;
}

// Integer atoms: "#nnn" or a number below MAXINTATOM.
bool IntegerAtom(std::u16string_view name, ATOM& atom) {
  if (name.size() < 2 || name[0] != u'#') return false;
  unsigned value = 0;
  for (char16_t c : name.substr(1)) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
    if (value >= MAXINTATOM) return false;
  }
  atom = static_cast<ATOM>(value);
  return atom != 0;
}

ATOM FindOrAdd(std::u16string_view name, bool add) {
  ATOM integer = 0;
  if (IntegerAtom(name, integer)) return integer;
  if (name.empty() || name.size() > kMaxNameLength) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& table = Table();
  std::lock_guard guard(table.lock);
  auto key = platform::UpperCase(name);
  auto found = table.byKey.find(key);
  if (found == table.byKey.end()) {
    auto file = TableFile();
    platform::FileLock fileLock(file.empty() ? file : std::filesystem::path(file) += ".lock");
    std::scoped_lock fileHold(fileLock);
    if (!file.empty()) Reload(table, file);
    found = table.byKey.find(key);
    if (found == table.byKey.end()) {
      if (!add) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
      }
      if (table.names.size() >= kMaxAtoms) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
      }
      Remember(table, std::u16string(name));
      if (!file.empty() && !WriteTable(table, file)) {
        // The number stays valid in this process; other processes cannot learn it.
        platform::SetLastErrorFromErrno();
      }
      found = table.byKey.find(key);
    }
  }
  if (add) ++table.references[found->second];
  return found->second;
}

std::u16string WideName(const char* name) { return platform::AnsiToWide(name); }

template <typename Char>
std::size_t CopyUnits(std::basic_string_view<Char> text, Char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  std::size_t count = std::min(text.size(), size - 1);
  std::copy_n(text.begin(), count, buffer);
  buffer[count] = 0;
  return count;
}

template <typename Char>
UINT GetAtomName(ATOM atom, Char* buffer, int size) {
  std::u16string name;
  if (atom > 0 && atom < MAXINTATOM) {
    std::string digits = "#" + std::to_string(atom);
    name.assign(digits.begin(), digits.end());
  } else {
    name = platform::win::AtomName(atom);
  }
  if (name.empty()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (buffer == nullptr || size <= 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  return static_cast<UINT>(platform::win::CopyTextOut(name, buffer, static_cast<std::size_t>(size)));
}

}  // namespace

namespace platform::win {

ATOM AtomOf(const char16_t* name, bool add) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (IS_INTRESOURCE(name)) {
    // An atom passed in place of a name stands for itself (a table atom too).
    auto value = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name));
    if (value == 0) SetLastError(ERROR_INVALID_PARAMETER);
    return value;
  }
  return FindOrAdd(name, add);
}

ATOM AtomOf(const char* name, bool add) {
  if (name != nullptr && IS_INTRESOURCE(name)) {
    return AtomOf(MAKEINTATOMW(static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name))), add);
  }
  if (name == nullptr) return AtomOf(static_cast<const char16_t*>(nullptr), add);
  return FindOrAdd(WideName(name), add);
}

std::u16string AtomName(ATOM atom) {
  auto& table = Table();
  std::lock_guard guard(table.lock);
  if (atom < MAXINTATOM) return {};
  std::size_t index = atom - MAXINTATOM;
  if (index >= table.names.size()) {
    auto file = TableFile();
    if (!file.empty()) {
      platform::FileLock fileLock(std::filesystem::path(file) += ".lock");
      std::scoped_lock fileHold(fileLock);
      Reload(table, file);
    }
  }
  return index < table.names.size() ? table.names[index] : std::u16string();
}

std::size_t CopyTextOut(std::u16string_view text, char16_t* buffer, std::size_t size) {
  return CopyUnits(text, buffer, size);
}

std::size_t CopyTextOut(std::u16string_view text, char* buffer, std::size_t size) {
  std::string ansi = platform::WideToAnsi(text);
  return CopyUnits(std::string_view(ansi), buffer, size);
}

}  // namespace platform::win

ATOM GlobalAddAtomW(const char16_t* name) { return platform::win::AtomOf(name, true); }
ATOM GlobalAddAtomA(const char* name) { return platform::win::AtomOf(name, true); }
ATOM GlobalFindAtomW(const char16_t* name) { return platform::win::AtomOf(name, false); }
ATOM GlobalFindAtomA(const char* name) { return platform::win::AtomOf(name, false); }

UINT GlobalGetAtomNameW(ATOM atom, char16_t* buffer, int size) {
  return GetAtomName(atom, buffer, size);
}
UINT GlobalGetAtomNameA(ATOM atom, char* buffer, int size) {
  return GetAtomName(atom, buffer, size);
}

ATOM GlobalDeleteAtom(ATOM atom) {
  if (atom < MAXINTATOM) return 0;
  auto& table = Table();
  std::lock_guard guard(table.lock);
  auto found = table.references.find(atom);
  if (found == table.references.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return atom;
  }
  if (--found->second == 0) table.references.erase(found);
  return 0;
}

UINT RegisterWindowMessageW(const char16_t* name) {
  if (name == nullptr || IS_INTRESOURCE(name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  ATOM atom = platform::win::AtomOf(name, true);
  return atom >= MAXINTATOM ? atom : 0;
}

UINT RegisterWindowMessageA(const char* name) {
  if (name == nullptr || IS_INTRESOURCE(name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return RegisterWindowMessageW(WideName(name).c_str());
}

UINT RegisterClipboardFormatA(const char* name) { return RegisterWindowMessageA(name); }

int GetClipboardFormatNameA(UINT format, char* buffer, int size) {
  if (format < MAXINTATOM || format > 0xFFFF || size <= 0) return 0;
  std::u16string name = platform::win::AtomName(static_cast<ATOM>(format));
  if (name.empty()) return 0;
  return static_cast<int>(platform::win::CopyTextOut(name, buffer, static_cast<std::size_t>(size)));
}
