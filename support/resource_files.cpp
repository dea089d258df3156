#include "support/resource_files.h"

#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/fs/entries.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/resources.h"
#include "support/files_folders.h"

namespace {

constexpr DWORD kRetryPause = 100;

// The module file loaded as a library; 0 when it stays unloaded. Another process may
// hold the file for a moment, so "access denied" is retried.
HMODULE LoadModule(const std::string& moduleFile, std::uint32_t retryTime) {
  const std::uint32_t tries = retryTime / kRetryPause;
  for (std::uint32_t attempt = 0;; ++attempt) {
    if (HMODULE module = LoadLibraryA(moduleFile.c_str())) return module;
    if (GetLastError() != ERROR_ACCESS_DENIED || attempt + 1 >= tries) return 0;
    Sleep(kRetryPause);
  }
}

std::string FolderOf(const std::string& fileName) {
  std::size_t slash = fileName.find_last_of("\\/");
  return slash == std::string::npos ? "" : fileName.substr(0, slash);
}

// Clears the way for a new file: deletes it, or moves it aside when it is in use.
void MakeRoomFor(const std::string& fileName) {
  if (!IsExistingFile(fileName)) return;
  DeleteFileA(fileName.c_str());
  if (!IsExistingFile(fileName)) return;
  const std::string old = fileName + ".old";
  DeleteFileA(old.c_str());
  MoveFileA(fileName.c_str(), old.c_str());
}

// Every line ended by CR LF, whether it ended in CR LF, LF, CR or nothing.
std::string WithCrLfLines(const std::string& bytes) {
  std::string text;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find_first_of("\r\n", at);
    if (end == std::string::npos) end = bytes.size();
    text.append(bytes, at, end - at).append("\r\n");
    at = end;
    if (at < bytes.size() && bytes[at] == '\r') ++at;
    if (at < bytes.size() && bytes[at] == '\n') ++at;
  }
  return text;
}

}  // namespace

TFileResourceReader::~TFileResourceReader() { Close(); }

bool TFileResourceReader::Open(const std::string& resName, const std::string& moduleFile, const char* resType) {
  Close();
  HMODULE instance = platform::kProgramInstance;
  if (!moduleFile.empty()) {
    module_ = LoadModule(moduleFile, RetryTime);
    if (module_ == 0) return false;
    instance = module_;
  }
  if (FindResourceA(instance, resName.c_str(), resType) == 0) {
    Close();
    return false;
  }
  try {
    resource_ = std::make_unique<TResourceStream>(instance, resName, resType);
  } catch (const EResNotFound&) {
    Close();
    return false;
  }
  stream_ = resource_.get();
  return true;
}

void TFileResourceReader::Close() {
  stream_ = nullptr;
  resource_.reset();
  if (module_ != 0) FreeLibrary(module_);
  module_ = 0;
}

bool TFileResourceReader::SaveToFile(const std::string& fileName) {
  if (!resource_) return false;
  TFileWriter writer;
  if (!writer.Open(fileName)) return false;
  const bool written = writer.CopyFromStream(*resource_) && writer.Flush();
  writer.Close();
  return written;
}

bool LoadResourceText(const std::string& moduleFile, const std::string& resName, std::string& text) {
  if (!moduleFile.empty() && !IsExistingFile(moduleFile)) return false;
  TFileResourceReader reader;
  if (!reader.Open(resName, moduleFile, RT_RCDATA)) return false;
  std::string bytes;
  if (!reader.ReadRawString(bytes)) return false;
  text = WithCrLfLines(bytes);
  return true;
}

bool ExtractResourceToFile(const std::string& fileName, const std::string& resName, bool force,
                           const std::string& moduleFile) {
  if (!force && IsExistingFile(fileName)) return true;
  TFileResourceReader reader;
  if (!reader.Open(resName, moduleFile, RT_RCDATA)) return false;
  MakeRoomFor(fileName);
  const std::string folder = FolderOf(fileName);
  if (!folder.empty() && !IsExistingDir(folder)) CreateDirectoryA(folder.c_str(), nullptr);
  if (!reader.SaveToFile(fileName)) {
    // A cut file would pass for a pack: leave none behind.
    DeleteFileA(fileName.c_str());
    return false;
  }
  FileSetAllowEveryone(fileName);
  return true;
}
