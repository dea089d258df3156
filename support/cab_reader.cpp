#include "support/cab_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/fs/entries.h"
#include "platform/fs/files.h"

namespace {

// The error of the last failing file callback on this thread; it becomes the error
// record's system code when a cabinet call then fails.
thread_local DWORD callbackError = 0;

// Any real file will do as the system handle behind a stream: the program itself.
constexpr const char* kProgramFile = "/proc/self/exe";

constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kNameLimit = 256;

const char* const kOperationTexts[] = {
    "No error",
    "Cabinet not found",
    "Cabinet file does not have the correct format",
    "Cabinet file has an unknown version number",
    "Cabinet file is corrupt",
    "Could not allocate enough memory",
    "Unknown compression type in a cabinet folder",
    "Failure decompressing data from a cabinet file",
    "Failure writing to target file",
    "Cabinets in a set do not have the same RESERVE sizes",
    "Cabinet returned on fdintNEXT_CABINET is incorrect",
    "FDI aborted",
};

std::string Hex4(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
  return text;
}

INT_PTR Failed() {
  callbackError = GetLastError();
  return -1;
}

void* Alloc(ULONG cb) { return std::malloc(cb); }
void Free(void* memory) { std::free(memory); }

DWORD CreationOf(int flags) {
  bool create = (flags & _O_CREAT) != 0, truncate = (flags & _O_TRUNC) != 0;
  if (create && (flags & _O_EXCL) != 0) return CREATE_NEW;
  if (create && truncate) return CREATE_ALWAYS;
  if (truncate) return TRUNCATE_EXISTING;
  return create ? OPEN_ALWAYS : OPEN_EXISTING;
}

INT_PTR Open(char* name, int flags, int /*mode*/) {
  if (StreamMan().IsPublished(name)) {
    HANDLE handle = CreateFileA(kProgramFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, 0);
    if (handle == INVALID_HANDLE_VALUE) return Failed();
    StreamMan().Bind(name, handle);
    return handle;
  }
  int accessBits = flags & 3;
  DWORD access = accessBits == _O_RDONLY ? GENERIC_READ : accessBits == _O_WRONLY ? GENERIC_WRITE
                                                                                   : GENERIC_READ | GENERIC_WRITE;
  bool create = (flags & _O_CREAT) != 0;
  DWORD attributes = create && (flags & _O_SHORT_LIVED) != 0 ? FILE_ATTRIBUTE_TEMPORARY : FILE_ATTRIBUTE_NORMAL;
  if ((flags & _O_RANDOM) != 0) attributes |= FILE_FLAG_RANDOM_ACCESS;
  if ((flags & _O_SEQUENTIAL) != 0) attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
  if (create && (flags & _O_TEMPORARY) != 0) attributes |= FILE_FLAG_DELETE_ON_CLOSE;
  HANDLE handle = CreateFileA(name, access, FILE_SHARE_READ, nullptr, CreationOf(flags), attributes, 0);
  if (handle == INVALID_HANDLE_VALUE) return Failed();
  if ((flags & _O_APPEND) != 0) {
    SetLastError(ERROR_SUCCESS);
    if (SetFilePointer(handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) {
      INT_PTR result = Failed();
      CloseHandle(handle);
      return result;
    }
  }
  return handle;
}

UINT Read(INT_PTR hf, void* buffer, UINT cb) {
  if (StreamMan().IsBound(hf)) return static_cast<UINT>(StreamMan().Read(hf, buffer, cb));
  DWORD done = 0;
  if (!ReadFile(hf, buffer, cb, &done, nullptr)) return static_cast<UINT>(Failed());
  return done;
}

UINT Write(INT_PTR hf, void* buffer, UINT cb) {
  if (StreamMan().IsBound(hf)) return static_cast<UINT>(StreamMan().Write(hf, buffer, cb));
  DWORD done = 0;
  if (!WriteFile(hf, buffer, cb, &done, nullptr)) return static_cast<UINT>(Failed());
  return done;
}

LONG Seek(INT_PTR hf, LONG distance, int origin) {
  if (StreamMan().IsBound(hf)) return static_cast<LONG>(StreamMan().Seek(hf, distance, origin));
  SetLastError(ERROR_SUCCESS);
  DWORD position = SetFilePointer(hf, distance, nullptr, static_cast<DWORD>(origin));
  if (position == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return static_cast<LONG>(Failed());
  return static_cast<LONG>(position);
}

int Close(INT_PTR hf) {
  if (StreamMan().IsBound(hf)) StreamMan().Unbind(hf);
  return CloseHandle(hf) ? 0 : static_cast<int>(Failed());
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Creates the folders on the way to a file.
void MakeFoldersFor(const std::string& target) {
  for (std::size_t at = 1; at < target.size(); ++at) {
    if (IsSeparator(target[at])) CreateDirectoryA(target.substr(0, at).c_str(), nullptr);
  }
}

bool SameText(const std::string& a, const std::string& b) {
  return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

bool FileExists(const std::string& name) {
  DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

std::string CabJoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  std::string joined = folder;
  while (!joined.empty() && joined.back() == '\\') joined.pop_back();
  std::size_t start = 0;
  while (start < name.size() && name[start] == '\\') ++start;
  return joined + '\\' + name.substr(start);
}

bool CabNameLeavesFolder(const std::string& name) {
  if (name.empty() || IsSeparator(name[0]) || name.find(':') != std::string::npos) return true;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (name.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

std::string CabinetErrorText(const ERF& error) {
  if (!error.fError) return "FDI error";
  const bool known = error.erfOper >= 0 && error.erfOper <= FDIERROR_USER_ABORT;
  std::string text = known ? kOperationTexts[error.erfOper] : "FDI error";
  text += " [0x" + Hex4(error.erfOper) + "]";
  if (error.erfType != 0) {
    text += ".\r\n" + SysErrorMessage(static_cast<DWORD>(error.erfType)) + " [0x" + Hex4(error.erfType) + "].";
  }
  return text;
}

EQVCabinet::EQVCabinet(const ERF& error)
    : Exception(CabinetErrorText(error)),
      ErrorCode(error.erfOper),
      ErrorType(error.erfType),
      HasError(error.fError != FALSE) {}

// ---- stream manager ----

tStreamMan& StreamMan() {
  static tStreamMan manager;
  return manager;
}

std::string tStreamMan::Publish(TStream* stream) {
  std::string name = "Stream_" + std::to_string(++counter_);
  published_[name] = stream;
  return name;
}

void tStreamMan::Withdraw(const std::string& name) { published_.erase(name); }

bool tStreamMan::IsPublished(const std::string& name) const { return published_.count(name) != 0; }

TStream* tStreamMan::StreamOf(const std::string& name) const {
  auto found = published_.find(name);
  return found != published_.end() ? found->second : nullptr;
}

void tStreamMan::Bind(const std::string& name, INT_PTR handle) {
  TStream* stream = StreamOf(name);
  if (stream != nullptr) bound_[std::to_string(handle)] = Bound{stream, 0};
}

bool tStreamMan::IsBound(INT_PTR handle) const { return bound_.count(std::to_string(handle)) != 0; }

std::int32_t tStreamMan::Read(INT_PTR handle, void* buffer, std::uint32_t count) {
  auto found = bound_.find(std::to_string(handle));
  if (found == bound_.end()) return -1;
  Bound& bound = found->second;
  if (bound.stream->Seek(bound.position, soBeginning) != bound.position) return -1;
  std::int64_t left = bound.stream->Size() - bound.position;
  std::int32_t wanted = static_cast<std::int32_t>(std::min<std::int64_t>(count, left < 0 ? 0 : left));
  std::int32_t done = bound.stream->Read(buffer, wanted);
  bound.position += done;
  return done;
}

std::int32_t tStreamMan::Write(INT_PTR handle, const void* buffer, std::uint32_t count) {
  auto found = bound_.find(std::to_string(handle));
  if (found == bound_.end() || count > 0x7FFFFFFF) return -1;
  Bound& bound = found->second;
  if (bound.stream->Seek(bound.position, soBeginning) != bound.position) return -1;
  std::int32_t done = bound.stream->Write(buffer, static_cast<std::int32_t>(count));
  bound.position += done;
  return done == static_cast<std::int32_t>(count) ? done : -1;
}

std::int64_t tStreamMan::Seek(INT_PTR handle, std::int64_t offset, int origin) {
  auto found = bound_.find(std::to_string(handle));
  if (found == bound_.end()) return -1;
  Bound& bound = found->second;
  if (bound.stream->Seek(bound.position, soBeginning) != bound.position) return -1;
  std::int64_t position = bound.stream->Seek(offset, static_cast<TSeekOrigin>(origin));
  if (position >= 0) bound.position = position;
  return position;
}

void tStreamMan::Unbind(INT_PTR handle) { bound_.erase(std::to_string(handle)); }

// ---- reader ----

TQVCabReader::TQVCabReader() = default;

TQVCabReader::~TQVCabReader() {
  if (context_ != nullptr) FDIDestroy(context_);
}

HFDI TQVCabReader::Context() {
  if (context_ == nullptr) {
    context_ = FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &error_);
    if (context_ == nullptr) throw EQVCabinet(error_);
  }
  return context_;
}

bool TQVCabReader::IsCabinet(const std::string& fileName, FDICABINETINFO& info) {
  HFDI context = Context();
  std::string name = fileName;
  INT_PTR hf = Open(name.data(), _O_BINARY | _O_RDONLY, 0);
  if (hf == -1) {
    SetLastError(callbackError);
    RaiseLastOSError();
  }
  bool result = FDIIsCabinet(context, hf, &info) != FALSE;
  Close(hf);
  return result;
}

void TQVCabReader::ExtractFiles(const std::string& cabinet, const std::string& folder, bool onlyFirst) {
  std::string current = ExpandFileName(cabinet);
  folder_ = folder;
  if (!folder_.empty() && !IsSeparator(folder_.back())) folder_ += '\\';
  names_.clear();
  targets_.clear();
  // A set whose cabinets name each other in a ring is read once.
  std::set<std::string> visited;
  while (!current.empty()) {
    visited.insert(platform::AnsiUpperCase(current));
    nextCabinet_.clear();
    nextDisk_.clear();
    askedForNext_ = false;
    refusedName_ = false;
    std::size_t split = current.find_last_of("\\/");
    std::string name = current.substr(split + 1), path = current.substr(0, split + 1);
    callbackError = 0;
    if (!FDICopy(Context(), name.data(), path.data(), 0, Notify, nullptr, this)) {
      if (callbackError != 0) error_.erfType = static_cast<int>(callbackError);
      throw EQVCabinet(error_);
    }
    if (refusedName_) throw EQVCabinet(ERF{FDIERROR_TARGET_FILE, static_cast<int>(ERROR_INVALID_NAME), TRUE});
    std::string next = askedForNext_ || !SameText(nextCabinet_, current) ? nextCabinet_ : std::string();
    if (onlyFirst || next.empty() || !FileExists(next) || visited.count(platform::AnsiUpperCase(next)) != 0) break;
    current = next;
  }
}

INT_PTR TQVCabReader::Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION note) {
  auto* reader = static_cast<TQVCabReader*>(note->pv);
  switch (type) {
    case fdintCABINET_INFO:
      reader->nextCabinet_ = note->psz1[0] != 0 ? CabJoinPath(note->psz3, note->psz1) : std::string();
      reader->nextDisk_ = note->psz2;
      return 0;
    case fdintCOPY_FILE:
      return reader->CopyFile(note);
    case fdintCLOSE_FILE_INFO:
      return reader->CloseFile(note);
    case fdintNEXT_CABINET:
      if (note->fdie != FDIERROR_NONE) return -1;
      reader->nextCabinet_ = CabJoinPath(note->psz3, note->psz1);
      reader->askedForNext_ = true;
      return 0;
    default:
      return 0;
  }
}

INT_PTR TQVCabReader::CopyFile(PFDINOTIFICATION note) {
  std::string name = note->psz1;
  std::string target = CabJoinPath(folder_, name);
  if (OnCopyFile) OnCopyFile(name, target);
  if (target.empty()) return 0;
  if (!StreamMan().IsPublished(target)) {
    if (CabNameLeavesFolder(name)) {
      refusedName_ = true;
      return 0;
    }
    MakeFoldersFor(target);
    DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetFileAttributesA(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
  }
  INT_PTR hf = Open(target.data(), _O_BINARY | _O_WRONLY | _O_CREAT | _O_TRUNC, _S_IREAD | _S_IWRITE);
  if (hf == -1) return -1;
  names_.push_back(name);
  targets_.push_back(target);
  return hf;
}

int TQVCabReader::CloseFile(PFDINOTIFICATION note) {
  std::string name = note->psz1, target;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) {
      target = targets_[i];
      names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(i));
      targets_.erase(targets_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  bool real = !StreamMan().IsBound(note->hf);
  if (real) {
    FILETIME local{}, universal{};
    if (DosDateTimeToFileTime(note->date, note->time, &local) && LocalFileTimeToFileTime(&local, &universal)) {
      SetFileTime(note->hf, &universal, nullptr, &universal);
    }
  }
  Close(note->hf);
  if (real && !target.empty()) {
    constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_ARCHIVE;
    DWORD attributes = note->attribs & kKept;
    SetFileAttributesA(target.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
  }
  return TRUE;
}

bool TQVCabReader::EnumerateFiles(const std::string& cabinet, const TCabEnumCallback& callback, void* user) {
  FDICABINETINFO info{};
  if (!IsCabinet(cabinet, info)) return false;
  TFileStream file(cabinet, fmOpenRead | fmShareDenyWrite);
  unsigned char header[kHeaderSize];
  file.ReadBuffer(header, kHeaderSize);
  if (std::memcmp(header, "MSCF", 4) != 0) throw Exception(kOperationTexts[FDIERROR_NOT_A_CABINET]);
  auto word = [](const unsigned char* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); };
  auto dword = [&](const unsigned char* at) { return std::uint32_t(word(at)) | (std::uint32_t(word(at + 2)) << 16); };
  std::int64_t offset = dword(header + 16);
  if (file.Seek(offset, soBeginning) != offset) throw Exception("Failure setting file stream position");
  std::uint16_t count = word(header + 28);
  bool stop = false;
  for (std::uint16_t i = 0; i < count && !stop; ++i) {
    unsigned char fixed[kEntrySize];
    file.ReadBuffer(fixed, kEntrySize);
    // A name must end within the format's limit, terminator included.
    std::string name;
    bool ended = false;
    char c = 0;
    while (!ended && name.size() < kNameLimit && file.Read(&c, 1) == 1) {
      if (c == 0) ended = true;
      else name.push_back(c);
    }
    if (!ended) throw Exception(kOperationTexts[FDIERROR_CORRUPT_CABINET]);
    TCabFileEntry entry{dword(fixed), dword(fixed + 4), word(fixed + 8), word(fixed + 10), word(fixed + 12),
                        word(fixed + 14)};
    callback(user, name, entry, stop);
  }
  return true;
}
