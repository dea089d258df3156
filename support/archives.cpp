#include "support/archives.h"

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/fs/entries.h"
#include "platform/fs/files.h"

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
}

bool FileExists(const std::string& name) {
  DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The extension with its dot, after the last separator; empty when there is none.
std::string ExtensionOf(const std::string& fileName) {
  std::size_t dot = fileName.find_last_of(".\\/");
  return dot != std::string::npos && fileName[dot] == '.' ? fileName.substr(dot) : std::string();
}

// Lines end at CR, LF or CR LF; each comes back ending in CR LF.
std::string JoinLines(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  std::size_t start = 0, at = 0;
  while (at < bytes.size()) {
    if (bytes[at] == '\r' || bytes[at] == '\n') {
      text.append(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.begin() + static_cast<std::ptrdiff_t>(at));
      text += "\r\n";
      if (bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') ++at;
      start = ++at;
    } else {
      ++at;
    }
  }
  if (start < bytes.size()) {
    text.append(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
    text += "\r\n";
  }
  return text;
}

// Withdraws a published stream on every path.
class Publication {
 public:
  explicit Publication(TStream& stream) : name_(StreamMan().Publish(&stream)) {}
  ~Publication() { StreamMan().Withdraw(name_); }
  Publication(const Publication&) = delete;
  Publication& operator=(const Publication&) = delete;
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

}  // namespace

std::string ArchiveInternalError(const std::string& function, const std::string& message) {
  std::string text = "Internal error in module \"ArchivesClass\"";
  if (!function.empty() || !message.empty()) text += ": \r\n";
  if (!function.empty()) {
    text += "Function \"" + function + "\"";
    if (!message.empty()) text += " - ";
  }
  return text + message;
}

// ---- archive frame ----

bool tArchiveFrame::Init() {
  FileList.clear();
  return true;
}

bool tArchiveFrame::InitialCheck() {
  if (Initialised) return true;
  const std::string& fileName = Owner->FileName();
  if (!FileExists(fileName)) {
    Owner->LastError = Format("File \"%s\" does not exist!", {fileName});
    return false;
  }
  HANDLE file = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, 0);
  if (file == INVALID_HANDLE_VALUE) {
    Owner->LastError = Format("Cannot open file %d \"%s\"!", {std::to_string(GetLastError()), fileName});
    return false;
  }
  CloseHandle(file);
  Initialised = Init();
  if (!Initialised) Owner->LastError = Format("Cannot initialize archive \"%s\"!", {fileName});
  return Initialised;
}

bool tArchiveFrame::GetFileList(std::vector<std::string>& /*list*/) { return InitialCheck(); }

bool tArchiveFrame::ExtractToDir(const std::string& /*dir*/, const std::string& /*fileName*/) {
  return InitialCheck();
}

bool tArchiveFrame::ExtractFileToStream(const std::string& /*name*/, TStream& /*stream*/) { return InitialCheck(); }

// ---- cabinet archives ----

std::unique_ptr<tArchiveFrame> tCABArchive::Create(TArchive* owner) {
  auto archive = std::make_unique<tCABArchive>(owner);
  archive->reader_.OnCopyFile = [raw = archive.get()](const std::string& name, std::string& target) {
    raw->TargetFilter(name, target);
  };
  return archive;
}

bool tCABArchive::Init() {
  if (!tArchiveFrame::Init()) return false;
  FDICABINETINFO info{};
  return reader_.IsCabinet(Owner->FileName(), info);
}

bool tCABArchive::GetFileList(std::vector<std::string>& list) {
  if (!InitialCheck()) return false;
  bool listed = true;
  if (FileList.empty()) {
    listed = reader_.EnumerateFiles(
        Owner->FileName(),
        [this](void*, const std::string& name, const TCabFileEntry&, bool&) { FileList.push_back(name); }, nullptr);
  }
  list = FileList;
  return listed;
}

bool tCABArchive::ExtractToDir(const std::string& dir, const std::string& fileName) {
  if (!InitialCheck()) return false;
  std::vector<std::string> members;
  GetFileList(members);
  for (const std::string& member : members) {
    // Only what this extraction writes is removed, and never outside the folder.
    if ((!fileName.empty() && !SameName(member, fileName)) || CabNameLeavesFolder(member)) continue;
    std::string target = CabJoinPath(dir, member);
    if (FileExists(target)) DeleteFileA(target.c_str());
  }
  wantedName_ = fileName;
  targetName_.clear();
  reader_.ExtractFiles(Owner->FileName(), dir, false);
  return true;
}

bool tCABArchive::ExtractFileToStream(const std::string& name, TStream& stream) {
  if (!InitialCheck()) return false;
  Publication published(stream);
  targetName_ = published.name();
  wantedName_ = name;
  try {
    reader_.ExtractFiles(Owner->FileName(), "", false);
  } catch (...) {
    targetName_.clear();
    throw;
  }
  targetName_.clear();
  return true;
}

void tCABArchive::TargetFilter(const std::string& name, std::string& target) {
  if (wantedName_.empty()) return;
  if (!SameName(name, wantedName_)) {
    target.clear();
  } else if (!targetName_.empty()) {
    target = targetName_;
  }
}

// ---- registry ----

TArchiveManager& ArchiveManager() {
  static TArchiveManager manager = [] {
    TArchiveManager made;
    made.Register(kArchiveTypeCab, tCABArchive::Create, "CAB", "");
    return made;
  }();
  return manager;
}

void TArchiveManager::Register(std::int32_t typeId, TArchiveFrameClass create, const std::string& name,
                               const std::string& libraryFile) {
  // A library file would have to lie beside the program; the only type needs none.
  bool available = libraryFile.empty();
  records_.push_back(Record{typeId, name, libraryFile, available, create});
}

int TArchiveManager::IndexOf(std::int32_t typeId) const {
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (records_[i].typeId == typeId) return static_cast<int>(i);
  }
  return -1;
}

bool TArchiveManager::IsAvailable(std::int32_t typeId) const {
  int index = IndexOf(typeId);
  return index >= 0 && Item(index).available;
}

std::string TArchiveManager::Name(std::int32_t typeId) const {
  int index = IndexOf(typeId);
  return index >= 0 ? Item(index).name : std::string();
}

std::string TArchiveManager::LibraryFile(std::int32_t typeId) const {
  int index = IndexOf(typeId);
  return index >= 0 ? Item(index).libraryFile : std::string();
}

std::unique_ptr<tArchiveFrame> TArchiveManager::CreateInstance(std::int32_t typeId, TArchive* owner) const {
  int index = IndexOf(typeId);
  return index >= 0 ? Item(index).create(owner) : nullptr;
}

// ---- facade ----

TArchive::TArchive(const std::string& fileName) { SetFileName(fileName); }

bool TArchive::Fail(const std::string& function, const std::string& message) {
  LastError = ArchiveInternalError(function, message);
  return false;
}

void TArchive::SetFileName(const std::string& fileName) {
  if (fileName == fileName_) return;
  fileName_ = fileName;
  if (!fileName_.empty()) {
    std::string extension = platform::AnsiUpperCase(ExtensionOf(fileName_));
    const TArchiveManager& manager = ArchiveManager();
    std::int32_t type = 0;
    for (int i = 0; i < manager.Count() && type == 0; ++i) {
      if (extension == "." + platform::AnsiUpperCase(manager.Item(i).name)) type = manager.Item(i).typeId;
    }
    if (manager.IsAvailable(type)) SetArchiveType(type);
  }
  if (instance_) instance_->Initialised = false;
}

void TArchive::SetArchiveType(std::int32_t type) {
  if (type == archiveType_) return;
  archiveType_ = type;
  instance_.reset();
  if (!ArchiveManager().IsAvailable(type)) {
    Fail("SetArchiveType", "required ArchiveType is not available!");
    return;
  }
  instance_ = ArchiveManager().CreateInstance(type, this);
  if (!instance_) Fail("SetArchiveType", "Create Instance of archive error!");
}

bool TArchive::ArchiveIsAvailable(std::int32_t type) {
  LastError.clear();
  if (!ArchiveManager().IsRegistered(type)) return Fail("ArchiveIsAvailable", "unknown value in parameter AArchiveType!");
  return ArchiveManager().IsAvailable(type);
}

bool TArchive::ArchiveTypeName(std::int32_t type, int which, std::string& out) {
  LastError.clear();
  if (!ArchiveManager().IsRegistered(type)) return Fail("ArchiveTypeName", "unknown value in parameter AArchiveType!");
  out = which == 0 ? ArchiveManager().Name(type) : ArchiveManager().LibraryFile(type);
  return true;
}

bool TArchive::DecompressToDir(const std::string& targetDir, const std::string& fileName, bool /*giveAccess*/) {
  LastError.clear();
  if (targetDir.empty()) return Fail("DecompressToDir", "parameter TargetDit (string) is empty!");
  if (!instance_) return Fail("DecompressToDir", "Archives Class is not initialized to specific type!");
  std::string dir = targetDir;
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  // Extracted files are never opened to other users on this system, so there is no
  // access to give.
  try {
    return instance_->ExtractToDir(dir, fileName);
  } catch (const std::exception& error) {
    LastError = error.what();
    return false;
  }
}

bool TArchive::DecompressToStream(const std::string& fileName, TStream* stream) {
  LastError.clear();
  if (fileName.empty()) return Fail("DecompressToStream", "parameter FlName (string) is empty!");
  if (stream == nullptr) return Fail("DecompressToStream", "parameter ResStream (tStream) is nil!");
  if (!instance_) return Fail("DecompressToStream", "Archives Class is not initialized to specific type!");
  try {
    if (!instance_->ExtractFileToStream(fileName, *stream)) return false;
    stream->SetPosition(0);
    return true;
  } catch (const std::exception& error) {
    LastError = error.what();
    return false;
  }
}

bool TArchive::DecompressToString(const std::string& fileName, std::string& text) {
  text.clear();
  TMemoryStream stream;
  if (!DecompressToStream(fileName, &stream)) return false;
  text = JoinLines(stream.Memory());
  return true;
}
